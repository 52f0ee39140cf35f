# The Debian package: cpack -G DEB (scripts/package.sh builds a Release tree for it).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumovox)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The LumoVox developers")
set(CPACK_PACKAGE_CONTACT "The LumoVox developers <lumovox@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "browse and audition libraries of recorded voice clips")
set(CPACK_PACKAGE_DESCRIPTION
    "LumoVox opens folders of recorded voice clips in WAV, MP3 and M4A as libraries
and plays any clip with a click. A library may come with a CSV table giving
each clip its title, its line, a kana reading and its categories; the list is
narrowed by text (hiragana and katakana match each other), by category and by
favourites, and clips are dragged into other programs or their line or path
copied. The user interface is in Japanese.

lumovox-check, a command-line checker for library authors, is included.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the linked libraries cannot tell dpkg-shlibdeps: playbin's plugins for our formats
# (typefinding, conversion and playbin itself in -base; WAV, MP3, M4A demuxing, mpg123 and
# the audio sinks in -good; AAC in M4A decoded by -libav, or by faad in -bad), one of the
# Japanese fonts the graphics layer asks for, in its order, Xcursor, which the xcb platform
# opens by name for themed cursors, OpenSSL and GStreamer's own libraries, which the program
# opens by name, and Qt's translations, which its dialogs load by name.
# The xcb and offscreen platform plugins ship in libqt6gui6, which shlibdeps finds;
# qt6-qpa-plugins holds only VNC and TUIO ones.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libssl3, libgstreamer1.0-0, libgstreamer-plugins-base1.0-0, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-libav | gstreamer1.0-plugins-bad, fonts-noto-cjk | fonts-ipaexfont-gothic | fonts-ipafont-gothic | fonts-vlgothic, libxcursor1, qt6-translations-l10n")
# The guide and the store pages open in the desktop's browser through xdg-open. In a
# Wayland session Qt runs natively with qt6-wayland's platform plugin, else through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")

include(CPack)
