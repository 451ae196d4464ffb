korvel_add_test_program(korvel_processor_tests
    processor/AllocationCounter.cpp
    processor/AllocationTests.cpp
    processor/BlockSizeTests.cpp
    processor/ParameterTests.cpp
    processor/ProcessorTests.cpp
    processor/SignalChainTests.cpp
    TestMain.cpp)
add_test(NAME processor COMMAND korvel_processor_tests)

# No shared test main here: these tests decide for themselves whether a message manager exists.
korvel_add_test_program(korvel_teardown_tests processor/TeardownTests.cpp)
target_link_libraries(korvel_teardown_tests PRIVATE GTest::gtest_main)
add_test(NAME teardown COMMAND korvel_teardown_tests)
set_tests_properties(teardown PROPERTIES TIMEOUT 120)
