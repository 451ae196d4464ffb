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
korvel_link_shared_code(korvel_editor_picture)
