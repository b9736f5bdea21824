# The material list and the supplier browser; included from the top-level
# CMakeLists.txt.
target_sources(zilapp PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/searchclass.cpp ${CMAKE_CURRENT_LIST_DIR}/searchclass.h
    ${CMAKE_CURRENT_LIST_DIR}/progressreporter.h
    ${CMAKE_CURRENT_LIST_DIR}/materiallist.cpp ${CMAKE_CURRENT_LIST_DIR}/materiallist.h
    ${CMAKE_CURRENT_LIST_DIR}/Progres.cpp ${CMAKE_CURRENT_LIST_DIR}/Progres.h
    ${CMAKE_CURRENT_LIST_DIR}/Search.cpp ${CMAKE_CURRENT_LIST_DIR}/Search.h
    ${CMAKE_CURRENT_LIST_DIR}/criteria.cpp ${CMAKE_CURRENT_LIST_DIR}/criteria.h
)

# The material detail pane and the supplier browser.
target_sources(zilapp PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/linkedlists.cpp ${CMAKE_CURRENT_LIST_DIR}/linkedlists.h
    ${CMAKE_CURRENT_LIST_DIR}/detailpane.cpp ${CMAKE_CURRENT_LIST_DIR}/detailpane.h
    ${CMAKE_CURRENT_LIST_DIR}/supplierbrowser.cpp ${CMAKE_CURRENT_LIST_DIR}/supplierbrowser.h
)
