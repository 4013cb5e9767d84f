pitlink_add_test(NAME test_ui_drivers_window
    SOURCES test_ui_drivers_window.cpp test_main.cpp
    LIBS pitlink_core Qt5::Test GUI)
