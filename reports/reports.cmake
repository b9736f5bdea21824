# The material sheet and the supplier sheet with the holder they share;
# included from the top-level CMakeLists.txt.
target_sources(zilapp PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/sheet.cpp ${CMAKE_CURRENT_LIST_DIR}/sheet.h
    ${CMAKE_CURRENT_LIST_DIR}/Printm.cpp ${CMAKE_CURRENT_LIST_DIR}/Printm.h
    ${CMAKE_CURRENT_LIST_DIR}/Prints.cpp ${CMAKE_CURRENT_LIST_DIR}/Prints.h
)
