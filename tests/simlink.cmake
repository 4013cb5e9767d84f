# Simulator link: telemetry memory, variables, session-info queries, broadcast.
pitlink_add_test(NAME test_simlink_link
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_simlink_link.cpp
    LIBS pitlink_simlink pitlink_simwriter Qt5::Core GTest::gtest_main)
if(PITLINK_TSAN)
    # The race test is a race on purpose.
    target_compile_definitions(test_simlink_link PRIVATE PITLINK_TSAN)
endif()
