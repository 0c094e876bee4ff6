# The simulator harness, shared by every suite that talks to a simulated ECM.
add_library(ecmsim_harness STATIC ${CMAKE_CURRENT_LIST_DIR}/../support/EcmSim.cpp)
target_compile_definitions(ecmsim_harness PUBLIC ECMSIM_PATH="$<TARGET_FILE:ecmsim>")
set_target_properties(ecmsim_harness PROPERTIES AUTOMOC OFF)
add_dependencies(ecmsim_harness ecmsim)

add_library(serilink_testsupport STATIC
  ${CMAKE_CURRENT_LIST_DIR}/PortFixtures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/line_probe.c)
target_link_libraries(serilink_testsupport PUBLIC ecmsim_harness)
set_target_properties(serilink_testsupport PROPERTIES AUTOMOC OFF)

diduvuve_gtest(test_serilink
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_serilink.cpp ${CMAKE_CURRENT_LIST_DIR}/test_serilink_timing.cpp
  LIBS serilink serilink_testsupport)
diduvuve_gtest(test_ecmsim
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ecmsim.cpp
          ${PROJECT_SOURCE_DIR}/tools/ecmsim/Protocol.cpp
          ${PROJECT_SOURCE_DIR}/tools/ecmsim/EngineModel.cpp
  LIBS serilink serilink_testsupport)
