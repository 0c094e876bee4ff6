# The command-line programs' --help against their manual pages: a new program
# is one more name in this list (NAME, or NAME:TARGET when its target is named
# otherwise).
set(cli_programs diduvuve-csv diduvuve-import diduvuve-logger diduvuve-probe diduvuve-ecmsim:ecmsim)
set(cli_paths "")
set(cli_targets "")
foreach(p ${cli_programs})
  string(REPLACE ":" ";" parts "${p}")
  list(GET parts 0 name)
  list(GET parts -1 target)
  list(APPEND cli_paths "${name}=$<TARGET_FILE:${target}>")
  list(APPEND cli_targets ${target})
endforeach()
string(REPLACE ";" "|" cli_paths "${cli_paths}")
diduvuve_gtest(test_cli SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_cli.cpp)
target_compile_definitions(test_cli PRIVATE CLI_PROGRAMS="${cli_paths}" MAN_DIR="${PROJECT_SOURCE_DIR}/docs/man")
add_dependencies(test_cli ${cli_targets})
