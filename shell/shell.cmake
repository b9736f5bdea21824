# The application shell's sources that belong to the zilapp library; included
# from the top-level CMakeLists.txt.
target_sources(zilapp PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Sizerwin.cpp ${CMAKE_CURRENT_LIST_DIR}/Sizerwin.h
    ${CMAKE_CURRENT_LIST_DIR}/LogoDlg.cpp ${CMAKE_CURRENT_LIST_DIR}/LogoDlg.h
    ${CMAKE_CURRENT_LIST_DIR}/About.cpp ${CMAKE_CURRENT_LIST_DIR}/About.h
    ${CMAKE_CURRENT_LIST_DIR}/Zil0.cpp ${CMAKE_CURRENT_LIST_DIR}/Zil0.h
    ${CMAKE_CURRENT_LIST_DIR}/startup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tabstate.cpp ${CMAKE_CURRENT_LIST_DIR}/tabstate.h
    ${CMAKE_CURRENT_LIST_DIR}/reactions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/printdispatch.cpp
)
# The version the splash and the About box show when the application does not
# declare one.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/LogoDlg.cpp PROPERTIES
    COMPILE_DEFINITIONS "ZIL_VERSION=\"${PROJECT_VERSION}\"")
