# Manual pages and HTML manuals from one Markdown source per language, with Debian's pandoc.
#
#   talvex_add_manual(NAME talvex SECTION 1 SUMMARY "..." LANGUAGES en fr)
#
# reads docs/manual/<NAME>.<lang>.md and installs, for each language,
#   share/<PROJECT>/manual/<NAME>.<lang>.html   (what F1 opens)
#   share/man/man<SECTION>/<NAME>.<SECTION>.gz  (English; other languages under share/man/<lang>/)
# The pages are compressed at build time so that `cmake --install` and the Debian package install
# the very same files.
include_guard(GLOBAL)
include(GNUInstallDirs)

find_program(PANDOC_EXECUTABLE pandoc REQUIRED)
find_program(GZIP_EXECUTABLE gzip REQUIRED)
add_custom_target(talvex_manuals ALL)

function(talvex_add_manual)
  cmake_parse_arguments(M "" "NAME;SECTION;SUMMARY" "LANGUAGES" ${ARGN})
  if(NOT M_SECTION)
    set(M_SECTION 1)
  endif()
  set(out_dir ${PROJECT_BINARY_DIR}/manual)
  set(outputs)
  foreach(lang IN LISTS M_LANGUAGES)
    set(src ${PROJECT_SOURCE_DIR}/docs/manual/${M_NAME}.${lang}.md)
    set(html ${out_dir}/${M_NAME}.${lang}.html)
    set(man ${out_dir}/${lang}/${M_NAME}.${M_SECTION})
    string(TOUPPER "${M_NAME}" title)
    add_custom_command(
      OUTPUT ${html}
      COMMAND ${PANDOC_EXECUTABLE} --standalone --from markdown --to html5 --toc
              --metadata "title=${PROJECT_NAME} ${PROJECT_VERSION}" --metadata lang=${lang}
              --output ${html} ${src}
      DEPENDS ${src}
      COMMENT "Manual ${M_NAME} (${lang}), HTML"
      VERBATIM)
    add_custom_command(
      OUTPUT ${man}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}/${lang}
      COMMAND ${PANDOC_EXECUTABLE} --standalone --from markdown --to man
              --metadata "title=${title}" --metadata section=${M_SECTION}
              --metadata "header=${M_SUMMARY}"
              --metadata "footer=${PROJECT_NAME} ${PROJECT_VERSION}"
              --metadata date=
              --output ${man} ${src}
      COMMAND ${GZIP_EXECUTABLE} -9 -n -f ${man}
      DEPENDS ${src}
      COMMENT "Manual ${M_NAME} (${lang}), manual page"
      VERBATIM)
    list(APPEND outputs ${html} ${man}.gz)

    install(FILES ${html} DESTINATION ${CMAKE_INSTALL_DATADIR}/talvex/manual)
    if(lang STREQUAL "en")
      set(man_dir ${CMAKE_INSTALL_MANDIR}/man${M_SECTION})
    else()
      set(man_dir ${CMAKE_INSTALL_MANDIR}/${lang}/man${M_SECTION})
    endif()
    install(FILES ${man}.gz DESTINATION ${man_dir})
  endforeach()
  add_custom_target(manual_${M_NAME} DEPENDS ${outputs})
  add_dependencies(talvex_manuals manual_${M_NAME})
endfunction()
