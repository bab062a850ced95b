# SPDX-License-Identifier: GPL-3.0-or-later
# Strict warnings for every Velmora target; errors when VELMORA_WERROR (set under CI).
function(velmora_configure_target target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wsuggest-override
        -Wnon-virtual-dtor -Wcast-align -Wunused -Woverloaded-virtual)
    if(VELMORA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    target_compile_definitions(${target} PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_FOREACH
        QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_DISABLE_DEPRECATED_UP_TO=0x060400)
    # Headers are included by path from src/ ("model/project_data.h").
    target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}/src")
endfunction()
