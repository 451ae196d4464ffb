korvel_add_test_program(korvel_state_tests
    state/StateBlockTests.cpp
    state/ParameterListenerTests.cpp
    state/ConcurrencyTests.cpp
    TestMain.cpp)
add_test(NAME state COMMAND korvel_state_tests)
# A watchdog only: the stress tests take seconds, a deadlock or a parser loop never ends.
set_tests_properties(state PROPERTIES TIMEOUT 600)

option(KORVEL_BUILD_FUZZER "Build the state-restore fuzz target (clang, with KORVEL_SANITIZE=fuzzer-no-link,address)" OFF)

if(KORVEL_BUILD_FUZZER)
    add_subdirectory(fuzz)
endif()
