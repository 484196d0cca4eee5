# The program's 49 icons, in index order, taken from the Tango icon theme
# (public domain; Debian package tango-icon-theme) as the scalable pictures
# of its scalable/ folder and compiled into the program; they are drawn at
# whatever size and screen scale a bar asks for.
set(ZORVANA_ICON_THEME_DIR /usr/share/icons/Tango)
set(ZORVANA_ICONS
  actions/document-new            # 0  new entry
  actions/document-properties     # 1  edit
  actions/edit-delete             # 2  delete
  actions/go-up                   # 3  move up
  actions/go-down                 # 4  move down
  actions/edit-copy               # 5  copy, export
  actions/edit-paste              # 6  import
  actions/document-open           # 7
  actions/document-save           # 8
  actions/document-print          # 9
  actions/edit-find               # 10
  apps/help-browser               # 11 help, about
  actions/edit-cut                # 12
  actions/edit-undo               # 13
  actions/edit-redo               # 14
  actions/edit-clear              # 15
  actions/edit-select-all         # 16
  actions/view-refresh            # 17
  actions/go-home                 # 18
  actions/go-first                # 19
  actions/go-last                 # 20
  actions/go-previous             # 21
  actions/go-next                 # 22
  actions/go-top                  # 23
  actions/go-bottom               # 24
  actions/format-text-bold        # 25
  actions/format-text-italic      # 26
  actions/format-text-underline   # 27
  actions/format-justify-left     # 28
  actions/format-justify-center   # 29
  actions/format-justify-right    # 30
  actions/list-add                # 31
  actions/list-remove             # 32
  actions/mail-message-new        # 33
  actions/address-book-new        # 34
  actions/bookmark-new            # 35
  status/folder-open              # 36 enter a folder
  actions/go-jump                 # 37 leave a folder
  actions/document-print-preview  # 38
  actions/edit-find-replace       # 39
  actions/system-search           # 40
  apps/accessories-text-editor    # 41
  actions/appointment-new         # 42
  actions/contact-new             # 43
  mimetypes/text-x-generic        # 44 licence
  actions/format-justify-fill     # 45 word wrap
  places/folder-remote            # 46 export/import
  apps/internet-web-browser       # 47
  apps/preferences-desktop-font   # 48 button captions
)

set(_qrc "<RCC>\n  <qresource prefix=\"/icons\">\n")
set(index 0)
foreach(name ${ZORVANA_ICONS})
  set(file ${ZORVANA_ICON_THEME_DIR}/scalable/${name}.svg)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "Icon ${file} is missing: install the Debian package tango-icon-theme")
  endif()
  string(APPEND _qrc "    <file alias=\"${index}.svg\">${file}</file>\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND _qrc "  </qresource>\n</RCC>\n")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/icons.qrc.in "${_qrc}")
configure_file(${CMAKE_CURRENT_BINARY_DIR}/icons.qrc.in ${CMAKE_CURRENT_BINARY_DIR}/icons.qrc COPYONLY)
qt_add_resources(ZORVANA_ICON_SOURCES ${CMAKE_CURRENT_BINARY_DIR}/icons.qrc)
