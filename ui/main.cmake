# The main window with the methods that live beside their subsystems.
add_library(mainwindow STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Main.h
  ${CMAKE_CURRENT_LIST_DIR}/Settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtDialogs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtDialogs.h
  ${CMAKE_CURRENT_LIST_DIR}/Companions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Companions.h
  ${CMAKE_CURRENT_LIST_DIR}/GridLines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GridLines.h
  ${CMAKE_CURRENT_LIST_DIR}/About.cpp
  ${CMAKE_CURRENT_LIST_DIR}/About.h
  ${CMAKE_CURRENT_LIST_DIR}/PinOut.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PinOut.h
  ${CMAKE_CURRENT_LIST_DIR}/Application.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Application.h
  ${CMAKE_CURRENT_LIST_DIR}/StatusBar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StatusBar.h
  ${CMAKE_CURRENT_LIST_DIR}/ReplayBar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReplayBar.h
  ${CMAKE_CURRENT_LIST_DIR}/ReplaySteer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LogAnalysis.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LogAnalysis.h
  ${CMAKE_CURRENT_LIST_DIR}/AnalysisPage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LinkCommands.cpp
  ${PROJECT_SOURCE_DIR}/decode/DisplaySetup.cpp
  ${PROJECT_SOURCE_DIR}/decode/FrameDecode.cpp
  ${PROJECT_SOURCE_DIR}/link/Acquisition.cpp
  ${PROJECT_SOURCE_DIR}/definitions/DocumentCommands.cpp
  ${PROJECT_SOURCE_DIR}/definitions/EditWord.cpp
  ${PROJECT_SOURCE_DIR}/definitions/EditWord.h)
target_link_libraries(mainwindow PUBLIC lxchart lxsgrid link_exchange link_keeper link_log link_logindex celltable link_stats link_probe definitions_core adx_core decode Qt6::Widgets)
