# Windows distribution: a per-user installer made with NSIS (wavelift_installer)
# and a portable zip (wavelift_zip), both holding the same program, README and
# licence from build/windows/dist/Wavelift.
set(WAVELIFT_DIST_DIR "${CMAKE_CURRENT_BINARY_DIR}/dist/Wavelift")
set(WAVELIFT_DIST_PROGRAM "${WAVELIFT_DIST_DIR}/wavelift.exe")
set(WAVELIFT_INSTALLER "${CMAKE_CURRENT_BINARY_DIR}/wavelift-${PROJECT_VERSION}-setup.exe")
set(WAVELIFT_ZIP "${CMAKE_CURRENT_BINARY_DIR}/wavelift-${PROJECT_VERSION}-windows-x64.zip")

# Shipped without symbols; a build without strip (Visual Studio keeps them in a PDB) ships it as built.
if(CMAKE_STRIP)
  set(copy_program "${CMAKE_STRIP}" --strip-all -o "${WAVELIFT_DIST_PROGRAM}" "$<TARGET_FILE:wavelift>")
else()
  set(copy_program "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:wavelift>" "${WAVELIFT_DIST_PROGRAM}")
endif()
add_custom_command(
  OUTPUT "${WAVELIFT_DIST_PROGRAM}" "${WAVELIFT_DIST_DIR}/README.md" "${WAVELIFT_DIST_DIR}/LICENSE.txt"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${WAVELIFT_DIST_DIR}"
  COMMAND ${copy_program}
  COMMAND "${CMAKE_COMMAND}" -E copy "${CMAKE_CURRENT_SOURCE_DIR}/README.md" "${WAVELIFT_DIST_DIR}/README.md"
  COMMAND "${CMAKE_COMMAND}" -E copy "${CMAKE_CURRENT_SOURCE_DIR}/LICENSE" "${WAVELIFT_DIST_DIR}/LICENSE.txt"
  DEPENDS wavelift "${CMAKE_CURRENT_SOURCE_DIR}/README.md" "${CMAKE_CURRENT_SOURCE_DIR}/LICENSE"
  COMMENT "Gathering the program, README and licence to ship")

add_custom_command(
  OUTPUT "${WAVELIFT_ZIP}"
  COMMAND "${CMAKE_COMMAND}" -E rm -f "${WAVELIFT_ZIP}"
  COMMAND "${CMAKE_COMMAND}" -E tar cf "${WAVELIFT_ZIP}" --format=zip Wavelift
  WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/dist"
  DEPENDS "${WAVELIFT_DIST_PROGRAM}" "${WAVELIFT_DIST_DIR}/README.md" "${WAVELIFT_DIST_DIR}/LICENSE.txt"
  COMMENT "Zipping the portable program")
add_custom_target(wavelift_zip ALL DEPENDS "${WAVELIFT_ZIP}")

# The cross build always makes the installer; elsewhere only when NSIS is there.
if(CMAKE_CROSSCOMPILING)
  find_program(WAVELIFT_MAKENSIS makensis REQUIRED)
else()
  find_program(WAVELIFT_MAKENSIS makensis)
endif()
if(WAVELIFT_MAKENSIS)
  set(installer_script "${CMAKE_CURRENT_SOURCE_DIR}/resources/windows/wavelift.nsi")
  add_custom_command(
    OUTPUT "${WAVELIFT_INSTALLER}"
    COMMAND "${WAVELIFT_MAKENSIS}" -V2 -WX "-DVERSION=${PROJECT_VERSION}" "-DPROGRAM=${WAVELIFT_DIST_PROGRAM}"
            "-DREADME=${WAVELIFT_DIST_DIR}/README.md" "-DLICENSE=${WAVELIFT_DIST_DIR}/LICENSE.txt"
            "-DICON=${CMAKE_CURRENT_SOURCE_DIR}/resources/wavelift.ico" "-DOUTFILE=${WAVELIFT_INSTALLER}"
            "${installer_script}"
    DEPENDS "${installer_script}" "${WAVELIFT_DIST_PROGRAM}" "${WAVELIFT_DIST_DIR}/README.md"
            "${WAVELIFT_DIST_DIR}/LICENSE.txt" "${CMAKE_CURRENT_SOURCE_DIR}/resources/wavelift.ico"
    COMMENT "Making the installer with NSIS")
  add_custom_target(wavelift_installer ALL DEPENDS "${WAVELIFT_INSTALLER}")
endif()
