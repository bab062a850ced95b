# SPDX-License-Identifier: GPL-3.0-or-later
# Manual pages velmora(1), velmora-cli(1) and velmora-thumbnailer(1), made at build time by
# help2man from each program's own --help, so the option lists are never kept twice, and
# compressed as Debian keeps them. Without
# help2man (scripts/bootstrap installs it) no pages are made and the package has none.

find_program(VELMORA_HELP2MAN help2man)
if(NOT VELMORA_HELP2MAN)
    message(STATUS "help2man not found: no manual pages")
    return()
endif()

set(velmora_man_pages)
foreach(entry
        "velmora|draw a small IP network and watch it live"
        "velmora-cli|scripting and checks on Velmora project files"
        "velmora-thumbnailer|thumbnails of Velmora project files for file managers")
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 program)
    list(GET entry 1 summary)
    set(page "${PROJECT_BINARY_DIR}/man/${program}.1")
    set(packed "${page}.gz")
    # The application parses --help before it opens a window, but its Qt application object
    # still wants a platform: the offscreen one needs no display.
    add_custom_command(OUTPUT "${packed}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/man"
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            "${VELMORA_HELP2MAN}" --no-info --section=1
            "--name=${summary}" "--version-string=${PROJECT_VERSION}"
            "--output=${page}" "$<TARGET_FILE:${program}>"
        COMMAND gzip -9nf "${page}"
        DEPENDS ${program}
        COMMENT "Writing the manual page ${program}(1)"
        VERBATIM)
    list(APPEND velmora_man_pages "${packed}")
endforeach()
add_custom_target(velmora-man-pages ALL DEPENDS ${velmora_man_pages})
install(FILES ${velmora_man_pages} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
