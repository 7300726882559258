# cmake --install: the program folder goes whole under lib/varnel (the program finds its
# folders beside its executable, so the layout of build/bin is kept), the two programs are put
# on the PATH as symbolic links into it, and the desktop files go where freedesktop looks.

set(VARNEL_INSTALL_PROGRAM_DIR "lib/varnel" CACHE STRING
  "Program folder, relative to CMAKE_INSTALL_PREFIX")

# What a run from build/bin may have left in the program folder is the user's, never shipped.
install(DIRECTORY ${VARNEL_PROGRAM_DIR}/
  DESTINATION ${VARNEL_INSTALL_PROGRAM_DIR}
  USE_SOURCE_PERMISSIONS
  REGEX "/(Save|NetData|SendTemp)/." EXCLUDE
  REGEX "/(cloneSource|cachedData)\\.vlb$" EXCLUDE
  REGEX "/(cached\\.bmp|script\\.log)$" EXCLUDE)

# Relative links, so a staged install (DESTDIR) or a moved prefix still points at the folder.
# The program resolves /proc/self/exe, which names the link's target, so it finds its folder.
set(programs varnel-cli)
if(VARNEL_BUILD_GUI)
  list(APPEND programs varnel)
endif()
foreach(program ${programs})
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${program}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(REMOVE \"\${link}\")
    file(RELATIVE_PATH target \"\${CMAKE_INSTALL_PREFIX}/bin\"
      \"\${CMAKE_INSTALL_PREFIX}/${VARNEL_INSTALL_PROGRAM_DIR}/${program}\")
    message(STATUS \"Linking: \${link} -> \${target}\")
    file(CREATE_LINK \"\${target}\" \"\${link}\" SYMBOLIC)")
endforeach()

# The desktop's view of the program: its menu entry, icon, file types and thumbnailer.
# The PNG icons are the SVG rendered once (rsvg-convert -w N -h N) and kept, so the build
# needs no SVG renderer.
set(desktop ${PROJECT_SOURCE_DIR}/data/desktop)
install(FILES ${desktop}/varnel.desktop DESTINATION share/applications)
install(FILES ${desktop}/varnel-mime.xml DESTINATION share/mime/packages RENAME varnel.xml)
install(FILES ${desktop}/varnel.thumbnailer DESTINATION share/thumbnailers)
install(FILES ${desktop}/varnel.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${desktop}/icons/varnel-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME varnel.png)
endforeach()
install(FILES ${desktop}/varnel-cli.bash DESTINATION share/bash-completion/completions RENAME varnel-cli)
