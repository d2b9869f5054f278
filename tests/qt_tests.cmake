# quillon_add_qt_test_folder(folder libs...): one GoogleTest program per folder,
# run with the shared Qt main (offscreen, settings in a temporary folder).
find_package(Qt6 6.2 REQUIRED COMPONENTS Widgets Test)
function(quillon_add_qt_test_folder folder)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT sources)
    return()
  endif()
  set(target ${folder}_tests)
  add_executable(${target} ${sources} ${PROJECT_SOURCE_DIR}/tests/qt_test_main.cpp)
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${target} PRIVATE ${ARGN} Qt6::Widgets Qt6::Test quillon_options GTest::gtest)
  target_compile_definitions(${target} PRIVATE
    QUILLON_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    QUILLON_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
