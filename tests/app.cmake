# The main window with the simulator on the fake platform backend, and the
# settings it keeps.
pitlink_add_test(NAME test_app_mainwindow
    SOURCES test_app_mainwindow.cpp test_main.cpp
    LIBS pitlink_core pitlink_simwriter Qt5::Test GUI)
# Only sim_process.h's freePort() is used; no substitute is started.
target_compile_definitions(test_app_mainwindow PRIVATE PITLINK_SIM_PATH="")
