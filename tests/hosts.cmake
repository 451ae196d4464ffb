# Host tests: the built VST3 and LV2 bundles as hosts load them. Tests that open windows or
# load the plug-ins run under xvfb-run; they share the "xvfb" resource lock because parallel
# xvfb-run -a calls can race for the same display number.

find_program(KORVEL_XVFB_RUN xvfb-run)
find_program(KORVEL_NM nm)
find_program(KORVEL_LV2_VALIDATE lv2_validate)
find_program(KORVEL_ARDOUR_LUA NAMES ardour7-lua)
find_program(KORVEL_ARDOUR_VST3_SCANNER ardour-vst3-scanner PATHS /usr/lib/ardour7)

set(korvel_display_wrapper "${KORVEL_XVFB_RUN}" -a)

korvel_add_test_program(korvel_program_name_tests
    hosts/ProgramNameTests.cpp
    TestMain.cpp)
add_test(NAME hosts.program-name COMMAND korvel_program_name_tests)
set_tests_properties(hosts.program-name PROPERTIES LABELS hosts)

# The processor compiled into a plain program renders the cases the conformance test
# renders through each plug-in format.
korvel_add_test_program(korvel_reference_render hosts/ReferenceRender.cpp)

set(korvel_reference_dir "${CMAKE_CURRENT_BINARY_DIR}/host-reference")
add_test(NAME hosts.reference COMMAND korvel_reference_render "${korvel_reference_dir}")
set_tests_properties(hosts.reference PROPERTIES
    FIXTURES_SETUP korvel_host_reference
    LABELS hosts)

# The conformance program is a host: it links the framework's modules with its VST3 and
# LV2 hosting switched on, and none of the plug-in's own code.
add_executable(korvel_host_conformance
    hosts/HostMain.cpp
    hosts/HostParameterTests.cpp
    hosts/HostSessionTests.cpp
    hosts/KorvelHost.cpp
    hosts/Lv2MetadataTests.cpp
    hosts/StateDamage.cpp)
target_include_directories(korvel_host_conformance PRIVATE "${CMAKE_CURRENT_LIST_DIR}")
target_compile_definitions(korvel_host_conformance PRIVATE
    JUCE_PLUGINHOST_VST3=1
    JUCE_PLUGINHOST_LV2=1
    JUCE_MODAL_LOOPS_PERMITTED=1
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    KORVEL_VST3_BINARY_DIR="$<TARGET_FILE_DIR:Korvel_VST3>"
    KORVEL_LV2_BINARY_DIR="$<TARGET_FILE_DIR:Korvel_LV2>"
    KORVEL_REFERENCE_DIR="${korvel_reference_dir}")
target_link_libraries(korvel_host_conformance PRIVATE
    juce::juce_audio_processors
    juce::pkgconfig_JUCE_IMG_LINUX_DEPS
    GTest::gtest
    juce::juce_recommended_config_flags
    juce::juce_recommended_warning_flags)
add_dependencies(korvel_host_conformance Korvel_VST3 Korvel_LV2)

# HOME points at an empty folder, so that a Korvel installed in ~/.lv2 cannot stand in for
# the bundle under test (LV2 hosts load ~/.lv2 first and keep the first copy they find).
set(korvel_host_home "${CMAKE_CURRENT_BINARY_DIR}/host-home")
file(MAKE_DIRECTORY "${korvel_host_home}")

add_test(NAME hosts.conformance
    COMMAND ${korvel_display_wrapper} $<TARGET_FILE:korvel_host_conformance>)
set_tests_properties(hosts.conformance PROPERTIES
    ENVIRONMENT "HOME=${korvel_host_home}"
    FIXTURES_REQUIRED korvel_host_reference
    RESOURCE_LOCK xvfb
    TIMEOUT 900
    LABELS "hosts;display")

# Debian's Ardour 7 renders through both formats; its Lua session tool and VST3 scanner
# come with the ardour package, which only these tests need.
add_executable(korvel_ardour_tests
    hosts/ArdourRenderTests.cpp
    TestMain.cpp)
target_include_directories(korvel_ardour_tests PRIVATE "${CMAKE_CURRENT_LIST_DIR}")
target_compile_definitions(korvel_ardour_tests PRIVATE
    JUCE_WEB_BROWSER=0
    JUCE_USE_CURL=0
    JUCE_USE_FLAC=0
    JUCE_USE_OGGVORBIS=0
    KORVEL_VST3_BINARY_DIR="$<TARGET_FILE_DIR:Korvel_VST3>"
    KORVEL_LV2_BINARY_DIR="$<TARGET_FILE_DIR:Korvel_LV2>"
    KORVEL_ARDOUR_LUA="${KORVEL_ARDOUR_LUA}"
    KORVEL_ARDOUR_VST3_SCANNER="${KORVEL_ARDOUR_VST3_SCANNER}"
    KORVEL_ARDOUR_FILES="${CMAKE_CURRENT_LIST_DIR}/hosts/ardour"
    KORVEL_ARDOUR_WORK_DIR="${CMAKE_CURRENT_BINARY_DIR}/ardour-renders")
target_link_libraries(korvel_ardour_tests PRIVATE
    juce::juce_audio_formats
    juce::juce_events
    GTest::gtest
    juce::juce_recommended_config_flags
    juce::juce_recommended_warning_flags)
add_dependencies(korvel_ardour_tests Korvel_VST3 Korvel_LV2)

add_test(NAME hosts.ardour
    COMMAND ${korvel_display_wrapper} $<TARGET_FILE:korvel_ardour_tests>)
set_tests_properties(hosts.ardour PROPERTIES
    RESOURCE_LOCK xvfb
    TIMEOUT 1800
    LABELS "hosts;display;ardour")

# What the hosts' loaders see: the LV2 binary's exported symbols, the VST3 bundle's layout and
# the LV2 metadata as the LV2 project's own validator reads it.
add_test(NAME hosts.lv2-exports
    COMMAND "${CMAKE_COMMAND}" -Dcheck=lv2-exports "-Dnm=${KORVEL_NM}" "-Dbinary=$<TARGET_FILE:Korvel_LV2>"
            -P "${CMAKE_CURRENT_LIST_DIR}/hosts/CheckBundles.cmake")
add_test(NAME hosts.vst3-bundle
    COMMAND "${CMAKE_COMMAND}" -Dcheck=vst3-bundle "-Dnm=${KORVEL_NM}" "-Dbundle=$<TARGET_FILE_DIR:Korvel_VST3>/../.."
            -P "${CMAKE_CURRENT_LIST_DIR}/hosts/CheckBundles.cmake")
add_test(NAME hosts.lv2-validate
    COMMAND "${CMAKE_COMMAND}" -Dcheck=lv2-validate "-Dlv2_validate=${KORVEL_LV2_VALIDATE}" "-Dbundle=$<TARGET_FILE_DIR:Korvel_LV2>"
            -P "${CMAKE_CURRENT_LIST_DIR}/hosts/CheckBundles.cmake")
set_tests_properties(hosts.lv2-exports hosts.vst3-bundle hosts.lv2-validate PROPERTIES LABELS hosts)
