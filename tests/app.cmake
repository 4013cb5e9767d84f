# The main window with the simulator on the fake platform backend.
pitlink_add_test(NAME test_app_mainwindow
    SOURCES test_app_mainwindow.cpp app_test_main.cpp
    LIBS pitlink_core pitlink_simwriter Qt5::Test GUI)
pitlink_add_test(NAME test_app_poll
    SOURCES test_app_poll.cpp app_test_main.cpp
    LIBS pitlink_core pitlink_simwriter Qt5::Test GUI)
pitlink_add_test(NAME test_app_settings
    SOURCES test_app_settings.cpp server_test_main.cpp
    LIBS pitlink_core)
