# The snapshot's readers against telemetry images on the fake platform.
pitlink_add_test(NAME test_model_readers
    SOURCES test_model_readers.cpp
    LIBS pitlink_core pitlink_simwriter GTest::gtest_main)
