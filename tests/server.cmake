# The network server: frames, messages and commands as pure code, and the
# server with real loopback sockets and client threads.
pitlink_add_test(NAME test_server_commands
    SOURCES test_server_commands.cpp test_main.cpp
    LIBS pitlink_core Qt5::Test)
pitlink_add_test(NAME test_server_socket
    SOURCES test_server_socket.cpp test_main.cpp
    LIBS pitlink_core Qt5::Test TIMEOUT 90)
