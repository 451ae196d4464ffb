korvel_add_test_program(korvel_processor_tests
    processor/ProcessorTests.cpp
    TestMain.cpp)
add_test(NAME processor COMMAND korvel_processor_tests)
