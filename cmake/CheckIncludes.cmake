# cmake -DFOLDER=name -DSOURCES=a.cpp|b.h -DSTAMP=file -P CheckIncludes.cmake
#
# Refuses the includes that would get round the one-way layers: a path that
# climbs out of its folder ("../settings/x.h" finds a header the folder's
# include root was made to hide), and Qt Widgets outside app/ (Qt's own
# include root makes <QtWidgets/QMessageBox> compile anywhere).
string(REPLACE "|" ";" sources "${SOURCES}")
set(refused "")
foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS includes)
        if(line MATCHES "include[ \t]*[\"<]\\.\\./")
            string(APPEND refused "\n  ${source}: ${line}\n    climbs out of ${FOLDER}/: include another folder as \"folder/name.h\", and only one this folder links")
        elseif(NOT FOLDER STREQUAL "app" AND line MATCHES "include[ \t]*[\"<]QtWidgets[/>\"]")
            string(APPEND refused "\n  ${source}: ${line}\n    Qt Widgets belongs to app/ alone")
        endif()
    endforeach()
endforeach()
if(refused)
    message(FATAL_ERROR "Includes that run the wrong way:${refused}")
endif()
if(STAMP)
    file(TOUCH "${STAMP}")
endif()
