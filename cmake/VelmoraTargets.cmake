# SPDX-License-Identifier: GPL-3.0-or-later
# How every Velmora target is built, and the one helper that adds tests, benchmarks and fuzz
# targets.

# Strict warnings for every Velmora target; errors when VELMORA_WERROR (set under CI).
function(velmora_configure_target target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wsuggest-override
        -Wnon-virtual-dtor -Wcast-align -Wunused -Woverloaded-virtual
        # Designated initialisers name only the fields that differ from their defaults.
        -Wno-missing-field-initializers)
    if(VELMORA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    target_compile_definitions(${target} PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_FOREACH
        QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_DISABLE_DEPRECATED_UP_TO=0x060400)
    # Headers are included by path from src/ ("model/project_data.h").
    target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}/src")
endfunction()

# velmora_add_check(TEST|BENCH|FUZZ name SOURCES a.cpp ... [LIBS lib ...] [PROGRAMS target ...]
#                   [LABELS label ...] [TIMEOUT seconds])
#
# TEST registers a QtTest executable with CTest; it runs on Qt's offscreen platform so that no
# display is needed (widget tests check pixels of rendered images instead). BENCH builds a
# benchmark that prints its figures and is never part of ctest's pass/fail. FUZZ builds a
# libFuzzer target (clang, the "fuzz" preset). PROGRAMS names executables the check runs as
# processes: they are built first and their paths reach the code as VELMORA_PROGRAM_<NAME>
# (upper case, '-' as '_'), e.g. VELMORA_PROGRAM_VELMORA_CLI.
function(velmora_add_check kind name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;PROGRAMS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    velmora_configure_target(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_compile_definitions(${name} PRIVATE
        VELMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        VELMORA_BINARY_DIR="${PROJECT_BINARY_DIR}")
    foreach(program ${ARG_PROGRAMS})
        add_dependencies(${name} ${program})
        string(TOUPPER "${program}" macro)
        string(REPLACE "-" "_" macro "${macro}")
        target_compile_definitions(${name} PRIVATE
            VELMORA_PROGRAM_${macro}="$<TARGET_FILE:${program}>")
    endforeach()
    if(kind STREQUAL "TEST")
        target_link_libraries(${name} PRIVATE Qt6::Test)
        add_test(NAME ${name} COMMAND ${name})
        if(NOT ARG_TIMEOUT)
            set(ARG_TIMEOUT 300)
        endif()
        set_tests_properties(${name} PROPERTIES
            TIMEOUT ${ARG_TIMEOUT}
            LABELS "${ARG_LABELS}"
            # Per-user data (the latency history) goes to the build tree, not the user's own.
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTEST_DISABLE_STACK_DUMP=1;LC_ALL=C.UTF-8;XDG_DATA_HOME=${CMAKE_CURRENT_BINARY_DIR}/${name}.data")
    elseif(kind STREQUAL "FUZZ")
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    elseif(NOT kind STREQUAL "BENCH")
        message(FATAL_ERROR "velmora_add_check: unknown kind ${kind}")
    endif()
endfunction()
