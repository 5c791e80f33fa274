# What an install holds besides the programs, and the packages CPack makes of
# it: a .deb from a Linux build, a .tar.gz from a static one, a .zip from the
# Windows build.

set(kovo_docs ${CMAKE_CURRENT_BINARY_DIR}/docs)
file(MAKE_DIRECTORY ${kovo_docs})
# The pages' sources hold both platforms' facts: a line that starts with
# @POSIX@ or @WINDOWS@ becomes a comment in the other platform's page.
set(kovo_comment_out ".\\\" ")
if(WIN32)
  set(POSIX ${kovo_comment_out})
  set(WINDOWS "")
else()
  set(POSIX "")
  set(WINDOWS ${kovo_comment_out})
endif()
foreach(page kovomaint kovolist)
  configure_file(${PROJECT_SOURCE_DIR}/man/${page}.1.in ${kovo_docs}/${page}.1 @ONLY)
endforeach()

if(WIN32)
  # Plain text for people without man: the pages as man(1) shows them, in
  # ASCII with CRLF line ends, as Notepad reads them.
  find_program(KOVO_MAN man)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
                ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION .)
  if(KOVO_MAN)
    foreach(page kovomaint kovolist)
      add_custom_command(OUTPUT ${kovo_docs}/${page}.txt
        COMMAND ${CMAKE_COMMAND} -E env MANWIDTH=80 MAN_KEEP_FORMATTING=0
                sh -c "man -E ascii -l '${kovo_docs}/${page}.1' | col -bx | sed 's/$/\r/' > '${kovo_docs}/${page}.txt'"
        DEPENDS ${kovo_docs}/${page}.1 VERBATIM)
      install(FILES ${kovo_docs}/${page}.txt DESTINATION .)
    endforeach()
    add_custom_target(kovo_text_pages ALL DEPENDS ${kovo_docs}/kovomaint.txt ${kovo_docs}/kovolist.txt)
  else()
    message(STATUS "Skipping the man pages as text: no man(1) (Debian: man-db)")
  endif()
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME kovomaint-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME kovomaint-${PROJECT_VERSION}-win32)
  endif()
else()
  # Man pages are installed compressed where gzip is at hand, as distributions do.
  find_program(KOVO_GZIP gzip)
  foreach(page kovomaint kovolist)
    set(installed ${kovo_docs}/${page}.1)
    if(KOVO_GZIP)
      add_custom_command(OUTPUT ${kovo_docs}/${page}.1.gz
        COMMAND ${KOVO_GZIP} -9nf -k ${page}.1 WORKING_DIRECTORY ${kovo_docs}
        DEPENDS ${kovo_docs}/${page}.1 VERBATIM)
      set(installed ${kovo_docs}/${page}.1.gz)
    endif()
    list(APPEND kovo_pages ${installed})
  endforeach()
  add_custom_target(kovo_man_pages ALL DEPENDS ${kovo_pages})
  install(FILES ${kovo_pages} DESTINATION share/man/man1)
  set(kovo_completions ${PROJECT_SOURCE_DIR}/completions)
  install(FILES ${kovo_completions}/bash/kovomaint ${kovo_completions}/bash/kovolist
          DESTINATION share/bash-completion/completions)
  install(FILES ${kovo_completions}/zsh/_kovomaint ${kovo_completions}/zsh/_kovolist
          DESTINATION share/zsh/vendor-completions)
  install(FILES ${kovo_completions}/fish/kovomaint.fish ${kovo_completions}/fish/kovolist.fish
          DESTINATION share/fish/vendor_completions.d)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_SOURCE_DIR}/README.md
          DESTINATION share/doc/kovomaint)
  if(KOVO_GZIP)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${kovo_docs}/changelog @ONLY)
    add_custom_command(OUTPUT ${kovo_docs}/changelog.gz
      COMMAND ${KOVO_GZIP} -9nf -k changelog WORKING_DIRECTORY ${kovo_docs}
      DEPENDS ${kovo_docs}/changelog VERBATIM)
    add_custom_target(kovo_changelog ALL DEPENDS ${kovo_docs}/changelog.gz)
    install(FILES ${kovo_docs}/changelog.gz DESTINATION share/doc/kovomaint)
  endif()
  if(KOVO_STATIC)
    # For any Linux of the architecture, unpacked into a prefix.
    set(CPACK_GENERATOR TGZ)
    set(CPACK_PACKAGE_FILE_NAME kovomaint-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR}-linux)
  else()
    # Linked against the system's libraries, as Debian wants.
    set(CPACK_GENERATOR DEB)
    if(CMAKE_CROSSCOMPILING AND KOVO_DEBIAN_ARCH)
      set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${KOVO_DEBIAN_ARCH})
    endif()
  endif()
endif()

set(CPACK_PACKAGE_NAME kovomaint)
set(CPACK_PACKAGE_VENDOR "the kovomaint authors")
set(CPACK_PACKAGE_CONTACT "kovomaint maintainers <maintainers@kovomaint.invalid>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DESCRIPTION "kovomaint tidies kovo.fon, a fixed-size directory data file of 100 slots:
it moves the used entries to the front and, when asked, sorts them by their
first field, writing the file back in place behind a journal. kovolist lists
the file and shows what a run would change.")
include(CPack)
