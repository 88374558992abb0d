# Makes the release zip: NAME/ holding both Windows executables, the
# operator's guide, the changes and SHA256SUMS, in a fixed order with fixed
# times (SOURCE_DATE_EPOCH), so that two builds of one commit give the same
# bytes. Needs zip and touch.
# Called with NAME, OUT_DIR, EPOCH, README and FILES (a list of paths) set.

# The operator's guide is the README's part between its two markers, with
# CR LF line ends for Notepad.
file(READ "${README}" readme)
string(REGEX MATCH "<!-- operator's guide -->\n(.*)<!-- end of operator's guide -->" found "${readme}")
if(NOT found)
  message(FATAL_ERROR "${README} has no operator's guide between its markers")
endif()
string(REPLACE "\n" "\r\n" guide "# Tolp_mac_tool: the operator's guide\n\n${CMAKE_MATCH_1}")
set(guide_file "${OUT_DIR}/OPERATOR_GUIDE.txt")
file(WRITE "${guide_file}" "${guide}")
list(INSERT FILES 2 "${guide_file}")

set(stage "${OUT_DIR}/stage")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}/${NAME}")
set(sums "")
set(entries "")
foreach(f IN LISTS FILES)
  cmake_path(GET f FILENAME base)
  file(COPY_FILE "${f}" "${stage}/${NAME}/${base}")
  file(CHMOD "${stage}/${NAME}/${base}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  file(SHA256 "${f}" hash)
  string(APPEND sums "${hash}  ${base}\n")
  list(APPEND entries "${NAME}/${base}")
endforeach()
file(WRITE "${stage}/${NAME}/SHA256SUMS" "${sums}")
file(CHMOD "${stage}/${NAME}/SHA256SUMS" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(PREPEND entries "${NAME}/SHA256SUMS")
file(CHMOD "${stage}/${NAME}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Info-ZIP's zip with -X stores no owner and no times beyond the DOS time,
# which comes from the files' times in TZ's zone: both are fixed here.
file(REMOVE "${OUT_DIR}/${NAME}.zip")
execute_process(COMMAND touch -h -d "@${EPOCH}" ${entries} "${NAME}"
  WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC zip -X -D -q -9 "${OUT_DIR}/${NAME}.zip" ${entries}
  WORKING_DIRECTORY "${stage}"
  COMMAND_ERROR_IS_FATAL ANY)
file(SHA256 "${OUT_DIR}/${NAME}.zip" zip_hash)
message("package: ${OUT_DIR}/${NAME}.zip")
message("sha256:  ${zip_hash}")
