diduvuve_qtest(test_acquisition SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_acquisition.cpp
  ${PROJECT_SOURCE_DIR}/tools/ecmsim/EngineModel.cpp
  LIBS mainwindow ecmsim_harness TIMEOUT 240)
target_compile_definitions(test_acquisition PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
