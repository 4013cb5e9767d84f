# Simulator link: telemetry memory, variables, session-info queries, broadcast.
pitlink_add_test(NAME test_simlink_link
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/test_simlink_link.cpp
    LIBS pitlink_simlink pitlink_simwriter Qt5::Core GTest::gtest_main)
