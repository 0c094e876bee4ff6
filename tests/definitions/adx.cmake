find_package(pugixml REQUIRED)
diduvuve_gtest(test_adx SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_adx.cpp LIBS adx_core decode pugixml::pugixml)
target_compile_definitions(test_adx PRIVATE ADX_TEST_DIR="${CMAKE_CURRENT_LIST_DIR}/adx"
  ADX_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared/adx")
