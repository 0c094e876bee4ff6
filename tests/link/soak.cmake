# The soak runs on its own (ctest -L soak); 60 s by default, less under the
# sanitizers, which slow the window several times over.
diduvuve_qtest(test_soak SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_soak.cpp LIBS mainwindow ecmsim_harness TIMEOUT 300)
target_compile_definitions(test_soak PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
set_tests_properties(test_soak PROPERTIES LABELS soak)
if(DIDUVUVE_SANITIZE)
  set_property(TEST test_soak APPEND PROPERTY ENVIRONMENT "DIDUVUVE_SOAK_SECONDS=20")
endif()
