korvel_add_test_program(korvel_checksum_tests
    checksum/ChecksumTests.cpp
    TestMain.cpp)
add_test(NAME checksum COMMAND korvel_checksum_tests)
