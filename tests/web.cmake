# The browser dashboard: its state message, and the page in a real browser.
pitlink_add_test(NAME test_web_state
    SOURCES test_web_state.cpp
    LIBS pitlink_core GTest::gtest_main)
