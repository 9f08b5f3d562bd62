# The Windows program, cross-built with tools/windows/mingw.cmake on the libraries of the toolchain cache
# (tools/windows/toolchain.sh), and its NSIS installer: `cpack` in the Windows build folder.

# A windowed program: no console opens from the Start menu; a command line still gets its output
# (Main attaches to the console it was started from).
set_target_properties(mirabel PROPERTIES WIN32_EXECUTABLE ON)
target_sources(mirabel PRIVATE ${CMAKE_SOURCE_DIR}/resources/mirabel.rc)

# Sockets of their own: the wait on the server's connection, the mail connections, the tests' free port.
target_link_libraries(mirabel_db PRIVATE ws2_32)
target_link_libraries(mirabel_mail PRIVATE ws2_32)
target_link_libraries(mirabel_testsupport PRIVATE ws2_32)

# Everything goes in the installation folder itself: Windows finds the DLLs beside the program, and Qt
# its plugins and translations there.
# The sample-club generator stays in the build folder: its clubs have well-known passwords.
install(TARGETS mirabel RUNTIME DESTINATION .)

set(_qt_plugins
    platforms/qwindows.dll
    platforms/qoffscreen.dll # the command lines (report ...) draw with no window
    styles/qwindowsvistastyle.dll
    sqldrivers/qsqlite.dll
    sqldrivers/qsqlpsql.dll
    imageformats/qico.dll
    imageformats/qjpeg.dll
    imageformats/qgif.dll)
set(_plugin_files)
foreach(p ${_qt_plugins})
  set(f ${MIRABEL_WIN_PREFIX}/plugins/${p})
  if(EXISTS ${f})
    get_filename_component(d ${p} DIRECTORY)
    install(FILES ${f} DESTINATION ${d})
    list(APPEND _plugin_files ${f})
  elseif(p MATCHES "qwindows|qoffscreen|qsqlite|qsqlpsql")
    message(FATAL_ERROR "Falta ${f}: corra tools/windows/toolchain.sh")
  endif()
endforeach()
install(FILES ${MIRABEL_WIN_PREFIX}/translations/qtbase_es.qm ${MIRABEL_WIN_PREFIX}/translations/qt_es.qm
        DESTINATION translations)
# Qt would look for its translations one folder above its DLLs (as in its own bin/ layout): here they are
# beside the program.
file(WRITE ${CMAKE_BINARY_DIR}/qt.conf "[Paths]\nPrefix = .\nPlugins = .\n")
install(FILES ${CMAKE_BINARY_DIR}/qt.conf DESTINATION .)
install(DIRECTORY ${MIRABEL_WIN_PREFIX}/fonts DESTINATION .)
install(DIRECTORY ${MIRABEL_WIN_CACHE}/licencias/ DESTINATION licencias)

# The DLLs the program and its plugins load, found by walking their imports: the cache's libraries and the
# mingw runtime; Windows' own DLLs stay out.
file(GLOB _mingw_gcc LIST_DIRECTORIES true /usr/lib/gcc/x86_64-w64-mingw32/*-posix)
set(MIRABEL_WIN_DLL_DIRS ${MIRABEL_WIN_PREFIX}/bin ${_mingw_gcc} /usr/x86_64-w64-mingw32/lib)
install(CODE "
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND x86_64-w64-mingw32-objdump)
  file(GET_RUNTIME_DEPENDENCIES
       EXECUTABLES \$<TARGET_FILE:mirabel>
       MODULES ${_plugin_files}
       DIRECTORIES ${MIRABEL_WIN_DLL_DIRS}
       RESOLVED_DEPENDENCIES_VAR _dlls UNRESOLVED_DEPENDENCIES_VAR _sistema
       CONFLICTING_DEPENDENCIES_PREFIX _dobles)
  # The build folder holds copies of the same DLLs: either one.
  foreach(_n \${_dobles_FILENAMES})
    list(GET _dobles_\${_n} 0 _dll)
    list(APPEND _dlls \${_dll})
  endforeach()
  # Names come back in lower case, which this file system does not match to Qt6Core.dll and its kin.
  file(GLOB _cache ${MIRABEL_WIN_PREFIX}/bin/*.dll)
  foreach(_dll \${_cache})
    get_filename_component(_n \${_dll} NAME)
    string(TOLOWER \${_n} _n)
    list(FIND _sistema \${_n} _i)
    if(NOT _i EQUAL -1)
      list(APPEND _dlls \${_dll})
    endif()
  endforeach()
  foreach(_dll \${_dlls})
    file(INSTALL \${_dll} DESTINATION \"\${CMAKE_INSTALL_PREFIX}\")
  endforeach()
")

# The installer: Mirabel-<version>-setup.exe, with a Start-menu entry, the icon and an uninstaller.
set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Mirabel)
set(CPACK_PACKAGE_VENDOR "Mirabel")
set(CPACK_PACKAGE_FILE_NAME "Mirabel-${PROJECT_VERSION}-setup")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Mirabel)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Mirabel)
set(CPACK_PACKAGE_EXECUTABLES mirabel Mirabel)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Socios, cuotas, cobranzas y caja de clubes y mutuales")
set(CPACK_NSIS_DISPLAY_NAME Mirabel)
set(CPACK_NSIS_PACKAGE_NAME Mirabel)
set(CPACK_NSIS_MUI_ICON ${CMAKE_SOURCE_DIR}/resources/mirabel.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_SOURCE_DIR}/resources/mirabel.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME mirabel.exe)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MUI_FINISHPAGE_RUN mirabel.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# A 64-bit installer, so that it also runs where Windows has no 32-bit layer (and under a 64-bit Wine).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
# The uninstaller leaves no empty vendor key behind.
set(CPACK_VERBATIM_VARIABLES YES)
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS
    "DeleteRegKey SHCTX \"Software\\Mirabel\\Mirabel\"\nDeleteRegKey /ifempty SHCTX \"Software\\Mirabel\"")
include(CPack)

# The program and the test programs also run from the build folder (under Wine): the DLLs, Qt's plugins
# and the report fonts beside them (Qt finds its plugins in the program's folder).
file(GLOB _dlls ${MIRABEL_WIN_PREFIX}/bin/*.dll)
foreach(d ${MIRABEL_WIN_DLL_DIRS})
  file(GLOB _r ${d}/libgcc_s_seh-1.dll ${d}/libstdc++-6.dll ${d}/libwinpthread-1.dll)
  list(APPEND _dlls ${_r})
endforeach()
file(GLOB _plugin_dirs LIST_DIRECTORIES true ${MIRABEL_WIN_PREFIX}/plugins/*)
file(COPY ${_dlls} ${_plugin_dirs} ${MIRABEL_WIN_PREFIX}/fonts ${MIRABEL_WIN_PREFIX}/translations
     DESTINATION ${CMAKE_BINARY_DIR})
file(COPY ${_dlls} ${_plugin_dirs} ${MIRABEL_WIN_PREFIX}/fonts ${MIRABEL_WIN_PREFIX}/translations
          ${CMAKE_BINARY_DIR}/qt.conf DESTINATION ${CMAKE_BINARY_DIR}/tests)
