# The command-line programs' --help against their manual pages: a new program
# is one more name in this list.
set(cli_programs diduvuve-csv diduvuve-import)
set(cli_paths "")
foreach(p ${cli_programs})
  list(APPEND cli_paths "${p}=$<TARGET_FILE:${p}>")
endforeach()
string(REPLACE ";" "|" cli_paths "${cli_paths}")
diduvuve_gtest(test_cli SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_cli.cpp)
target_compile_definitions(test_cli PRIVATE CLI_PROGRAMS="${cli_paths}" MAN_DIR="${PROJECT_SOURCE_DIR}/docs/man")
add_dependencies(test_cli ${cli_programs})
