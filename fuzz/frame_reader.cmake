# The frame reader fed random bytes in random pieces.
find_package(Qt5 5.12 REQUIRED COMPONENTS Core)
add_executable(fuzz_frame_reader
    ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_frame_reader.cpp
    ${CMAKE_SOURCE_DIR}/server/FrameReader.cpp
    ${CMAKE_SOURCE_DIR}/server/irMessage.cpp
    ${CMAKE_SOURCE_DIR}/server/ClientText.cpp)
target_compile_options(fuzz_frame_reader PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_frame_reader PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_frame_reader PRIVATE Qt5::Core)
set_target_properties(fuzz_frame_reader PROPERTIES AUTOMOC OFF)
pitlink_target_warnings(fuzz_frame_reader)
