# The program, the simulator substitute and the command-line client as
# separate processes on the real POSIX backend.
if(NOT WIN32)
    pitlink_add_test(NAME test_e2e
        SOURCES test_e2e.cpp test_main.cpp
        LIBS Qt5::Core Qt5::Network Qt5::Test SERIAL TIMEOUT 120)
    target_compile_definitions(test_e2e PRIVATE
        PITLINK_SIM_PATH="$<TARGET_FILE:pitlink-sim>"
        PITLINK_PATH="$<TARGET_FILE:pitlink>"
        PITLINK_CLIENT_PATH="$<TARGET_FILE:pitlink-client>")
    add_dependencies(test_e2e pitlink-sim pitlink pitlink-client)
endif()
