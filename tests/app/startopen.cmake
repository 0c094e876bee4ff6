diduvuve_qtest(test_startopen SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_startopen.cpp LIBS startopen)
target_compile_definitions(test_startopen PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")

# The command line answers without a display.
foreach(option help version)
  add_test(NAME diduvuve_${option}_without_display
    COMMAND env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $<TARGET_FILE:Diduvuve> --${option})
endforeach()
set_tests_properties(diduvuve_help_without_display PROPERTIES PASS_REGULAR_EXPRESSION "Usage: Diduvuve \\[FILE.ald\\]")
set_tests_properties(diduvuve_version_without_display PROPERTIES PASS_REGULAR_EXPRESSION "^Diduvuve [0-9]+\\.[0-9]+")
