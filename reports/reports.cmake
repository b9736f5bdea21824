# The material sheet, the supplier sheet and the main window's print dispatch;
# included from the top-level CMakeLists.txt.
target_sources(zilapp PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/sheet.cpp ${CMAKE_CURRENT_LIST_DIR}/sheet.h
    ${CMAKE_CURRENT_LIST_DIR}/Printm.cpp ${CMAKE_CURRENT_LIST_DIR}/Printm.h
    ${CMAKE_CURRENT_LIST_DIR}/Prints.cpp ${CMAKE_CURRENT_LIST_DIR}/Prints.h
    ${CMAKE_CURRENT_LIST_DIR}/printdispatch.cpp
)
