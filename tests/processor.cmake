korvel_add_test_program(korvel_processor_tests
    processor/AllocationCounter.cpp
    processor/AllocationTests.cpp
    processor/BlockSizeTests.cpp
    processor/ParameterTests.cpp
    processor/ProcessorTests.cpp
    processor/SignalChainTests.cpp
    TestMain.cpp)
add_test(NAME processor COMMAND korvel_processor_tests)
