# What `make package` puts into the Debian package (CPack's DEB generator), and the rules that
# install it. The package installs under /usr whatever CMAKE_INSTALL_PREFIX a developer chose.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The program knows it runs from the package by its own directory: it then copies itself nowhere.
target_compile_definitions(larkspire_platform PRIVATE
  LARKSPIRE_PACKAGED_BINDIR="${CPACK_PACKAGING_INSTALL_PREFIX}/bin")
if(NOT LARKSPIRE_GUI)
  return()
endif()

set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(packaged_dir ${PROJECT_BINARY_DIR}/packaging)
set(app_id example.larkspire.Larkspire)
set(doc_dir share/doc/larkspire)

install(TARGETS larkspire RUNTIME DESTINATION bin)
install(FILES ${packaging_dir}/${app_id}.desktop DESTINATION share/applications)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/larkspire-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME larkspire.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/larkspire.svg
        DESTINATION share/icons/hicolor/scalable/apps)

configure_file(${packaging_dir}/${app_id}.metainfo.xml ${packaged_dir}/${app_id}.metainfo.xml
               @ONLY)
install(FILES ${packaged_dir}/${app_id}.metainfo.xml DESTINATION share/metainfo)

# Debian wants the manual page and the changelog compressed with gzip -9n (no name, no time).
configure_file(${packaging_dir}/larkspire.1 ${packaged_dir}/larkspire.1 @ONLY)
configure_file(${packaging_dir}/changelog ${packaged_dir}/changelog.Debian @ONLY)
foreach(name larkspire.1 changelog.Debian)
  add_custom_command(OUTPUT ${packaged_dir}/${name}.gz
                     COMMAND gzip -9nkf ${packaged_dir}/${name}
                     DEPENDS ${packaged_dir}/${name})
endforeach()
add_custom_target(packaging_files ALL DEPENDS ${packaged_dir}/larkspire.1.gz
                                              ${packaged_dir}/changelog.Debian.gz)
install(FILES ${packaged_dir}/larkspire.1.gz DESTINATION share/man/man1)
install(FILES ${packaged_dir}/changelog.Debian.gz ${packaging_dir}/copyright DESTINATION ${doc_dir})

file(GLOB help_pictures ${PROJECT_SOURCE_DIR}/resources/help/*.jpg)
install(FILES ${PROJECT_SOURCE_DIR}/resources/help/help.html ${help_pictures}
        DESTINATION ${doc_dir}/help)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME larkspire)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Calverin)
set(CPACK_PACKAGE_CONTACT "Calverin <support@larkspire.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watch the status of US patent applications")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A Debian revision: the package is not a native one, so its changelog is changelog.Debian.gz.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.larkspire.example/Larkspire/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# QtKeychain reaches the Secret Service through libsecret, which it loads only when it runs;
# without a keyring the secrets stay scrambled in the settings file, so neither is required.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsecret-1-0")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-keyring | kwalletmanager, systemd")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION
    "Larkspire keeps a patent law office's list of United States patent
applications, patents and published applications, reads each entry's status
from the patent office, and mails every change by SMTP. It writes an HTML
status report, exports the list as CSV and XML, and runs unattended every day
as a systemd user timer.")
include(CPack)
