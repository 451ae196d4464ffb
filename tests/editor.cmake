korvel_add_test_program(korvel_editor_tests
    editor/BindingTests.cpp
    editor/CustomSliderTests.cpp
    editor/DrawingTests.cpp
    editor/LayoutTests.cpp
    editor/LifetimeTests.cpp
    TestMain.cpp)
add_test(NAME editor COMMAND korvel_editor_tests)

# Renders the editor into the picture the README shows; run it by hand after a visual change.
add_executable(korvel_editor_picture editor/EditorPicture.cpp)
target_include_directories(korvel_editor_picture PRIVATE
    "${PROJECT_SOURCE_DIR}/source"
    $<TARGET_PROPERTY:Korvel,INCLUDE_DIRECTORIES>)
target_compile_definitions(korvel_editor_picture PRIVATE $<TARGET_PROPERTY:Korvel,COMPILE_DEFINITIONS>)
target_link_libraries(korvel_editor_picture PRIVATE
    Korvel
    juce::juce_recommended_config_flags
    juce::juce_recommended_warning_flags)
