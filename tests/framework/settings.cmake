# Included from tests/framework/CMakeLists.txt.
zil_add_test(tst_settings SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_settings.cpp LIBS zilapp)
