# The browser dashboard: the page in a real browser.
# Needs Debian's chromium, chromium-driver and python3-selenium; it starts the
# simulator substitute, so it holds the simulator lock like the other
# end-to-end tests.
if(NOT WIN32)
    pitlink_add_test(NAME test_web_browser
        SOURCES test_web_browser.cpp test_main.cpp
        LIBS pitlink_core pitlink_simwriter Qt5::Test GUI SERIAL TIMEOUT 180)
    find_program(PITLINK_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
    target_compile_definitions(test_web_browser PRIVATE
        PITLINK_SIM_PATH="$<TARGET_FILE:pitlink-sim>"
        PITLINK_PYTHON="${PITLINK_PYTHON}"
        PITLINK_BROWSER_CHECK="${CMAKE_CURRENT_SOURCE_DIR}/web_browser_check.py"
        PITLINK_SHOTS_DIR="${CMAKE_CURRENT_BINARY_DIR}")
    add_dependencies(test_web_browser pitlink-sim)
endif()
# Its state message, and its HTTP side with real loopback sockets.
pitlink_add_test(NAME test_web_server
    SOURCES test_web_server.cpp test_main.cpp
    LIBS pitlink_core Qt5::Test TIMEOUT 60)



