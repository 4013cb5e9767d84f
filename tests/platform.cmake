# Platform layer and the simulator substitute. The POSIX backend suites use
# real shared memory and the fixed control block, and start pitlink-sim.
if(NOT WIN32)
    pitlink_add_test(NAME test_platform_posix
        SOURCES test_platform_posix.cpp test_main.cpp
        LIBS pitlink_platform Qt5::Core Qt5::Network SERIAL TIMEOUT 60)
    target_compile_definitions(test_platform_posix PRIVATE PITLINK_SIM_PATH="$<TARGET_FILE:pitlink-sim>")
    add_dependencies(test_platform_posix pitlink-sim)
endif()

# The backend's own tests, one source for both systems (see tests/wine/).
if(NOT WIN32)
    pitlink_add_test(NAME test_platform_backend
        SOURCES test_platform_backend.cpp
        LIBS pitlink_simwriter GTest::gtest_main SERIAL TIMEOUT 120)
    target_compile_definitions(test_platform_backend PRIVATE
        PITLINK_SIM_PATH="$<TARGET_FILE:pitlink-sim>" PITLINK_TEST_VERSION="${PROJECT_VERSION}")
    add_dependencies(test_platform_backend pitlink-sim)
endif()
