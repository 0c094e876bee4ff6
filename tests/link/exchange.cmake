diduvuve_gtest(test_exchange
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_exchange.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_exchange_wire.cpp
          ${CMAKE_CURRENT_LIST_DIR}/test_exchange_ald.cpp
          ${PROJECT_SOURCE_DIR}/tools/ecmsim/EngineModel.cpp
  LIBS link_exchange serilink_testsupport)
target_compile_definitions(test_exchange PRIVATE EXAMPLES_DIR="${PROJECT_SOURCE_DIR}/examples")
