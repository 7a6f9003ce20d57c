# Shared dependencies and helpers for every folder.
find_package(Qt5 5.15 REQUIRED COMPONENTS Core Gui Widgets Xml Network Sql SerialPort Svg
    PrintSupport Qml Test Concurrent)
find_package(ZXing 1.4 CONFIG REQUIRED)
find_package(KF5Archive 5.103 CONFIG REQUIRED)
find_package(cJSON CONFIG REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(LUA REQUIRED IMPORTED_TARGET lua5.4)
pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET xlsxwriter)
pkg_check_modules(UDEV REQUIRED IMPORTED_TARGET libudev)

find_path(ZINT_INCLUDE_DIR zint.h REQUIRED)
find_library(ZINT_LIBRARY zint REQUIRED)
if(NOT TARGET Brevan::Zint)
    add_library(Brevan::Zint UNKNOWN IMPORTED)
    set_target_properties(Brevan::Zint PROPERTIES
        IMPORTED_LOCATION ${ZINT_LIBRARY}
        INTERFACE_INCLUDE_DIRECTORIES ${ZINT_INCLUDE_DIR})
endif()

find_path(QSCINTILLA_INCLUDE_DIR Qsci/qsciscintilla.h HINTS ${Qt5Core_INCLUDE_DIRS}
    PATH_SUFFIXES qt5 REQUIRED)
find_library(QSCINTILLA_LIBRARY qscintilla2_qt5 REQUIRED)
if(NOT TARGET Brevan::QScintilla)
    add_library(Brevan::QScintilla UNKNOWN IMPORTED)
    set_target_properties(Brevan::QScintilla PROPERTIES
        IMPORTED_LOCATION ${QSCINTILLA_LIBRARY}
        INTERFACE_INCLUDE_DIRECTORIES ${QSCINTILLA_INCLUDE_DIR}
        INTERFACE_LINK_LIBRARIES "Qt5::Widgets;Qt5::PrintSupport")
endif()

# Warnings and sanitizers for our own targets only.
function(brevan_target_options target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(BREVAN_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(BREVAN_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
    target_compile_definitions(${target} PRIVATE QT_NO_CAST_FROM_BYTEARRAY QT_DEPRECATED_WARNINGS
        ZX_USE_UTF8)
endfunction()

# brevan_library(<name> LIBS <deps...>): a static library from every source of the current folder
# (not its sub-folders, which are libraries of their own). Its folder is on the include path of users.
function(brevan_library name)
    cmake_parse_arguments(ARG "" "" "LIBS;EXTRA_SOURCES" ${ARGN})
    file(GLOB srcs CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
        ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    add_library(${name} STATIC ${srcs} ${ARG_EXTRA_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    brevan_target_options(${name})
endfunction()

# brevan_add_test(<name> SOURCES <files...> LIBS <deps...> [LABELS ...] [TIMEOUT s])
function(brevan_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt5::Test ${ARG_LIBS})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/common)
    brevan_target_options(${name})
    target_compile_definitions(${name} PRIVATE
        BREVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}" BREVAN_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
    add_dependencies(${name} brevan_models)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=*.debug=false"
        LABELS "${ARG_LABELS}")
endfunction()

# brevan_add_bench(<name> SOURCES <files...> LIBS <deps...>)
function(brevan_add_bench name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE brevan_bench_harness ${ARG_LIBS})
    brevan_target_options(${name})
    target_compile_definitions(${name} PRIVATE
        BREVAN_SOURCE_DIR="${CMAKE_SOURCE_DIR}" BREVAN_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
    add_dependencies(${name} brevan_models)
    set_property(GLOBAL APPEND PROPERTY BREVAN_BENCHES ${name})
endfunction()
