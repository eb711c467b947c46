#!/usr/bin/env bash
# The installed layout: cmake --install into a fresh prefix puts every file
# where a Linux desktop looks for it, and the desktop entry and the AppStream
# metainfo pass their validators, and the Debian package names what it needs.
#   install_test.sh BUILD_DIR
set -uo pipefail
build=$1
prefix=$(mktemp -d /tmp/kxinstall.XXXXXX)
trap 'rm -rf "$prefix"' EXIT
failures=0
check() { if "$@"; then echo "ok: $*"; else echo "FAIL: $*"; failures=$((failures + 1)); fi; }

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
id=com.kexar.kxToneScope
check test -x "$prefix/bin/kxToneScopePreview"
check test -e "$(ls -d "$prefix"/lib*/libkxSystem.so.1 2>/dev/null | head -1)"
check test -f "$prefix/share/kxToneScope/Translations/kxToneScope_ru.qm"
check test -f "$prefix/share/applications/$id.desktop"
check test -f "$prefix/share/metainfo/$id.metainfo.xml"
for size in 16 22 24 32 48 64 128 256; do
  f="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
  check test "$(identify -format '%wx%h' "$f" 2>/dev/null)" = "${size}x${size}"
done
check test -f "$prefix/share/icons/hicolor/scalable/apps/$id.svg"
# The program finds its library through its own run path, not the build tree.
check bash -c "ldd '$prefix/bin/kxToneScopePreview' | grep -q '$prefix/.*libkxSystem.so.1'"
check grep -qx 'Exec=kxToneScopePreview /U:%u' "$prefix/share/applications/$id.desktop"
check grep -q 'x-scheme-handler/rtsp' "$prefix/share/applications/$id.desktop"
check desktop-file-validate "$prefix/share/applications/$id.desktop"
check appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
check grep -q '<release version="1.0.40"' "$prefix/share/metainfo/$id.metainfo.xml"
# The Debian package brings Qt's own translations with it (Recommends, so an
# install with --no-install-recommends keeps them too).
pkgdir=$(mktemp -d /tmp/kxpackage.XXXXXX)
trap 'rm -rf "$prefix" "$pkgdir"' EXIT
if (cd "$build" && cpack -G DEB -B "$pkgdir" >/dev/null 2>&1); then
  deb=$(ls "$pkgdir"/*.deb | head -1)
  check test "$(dpkg-deb -f "$deb" Recommends)" = "qt6-translations-l10n"
  check bash -c "dpkg-deb -c '$deb' | grep -q 'share/kxToneScope/Translations/kxToneScope_ru.qm'"
else
  echo "FAIL: cpack -G DEB"; failures=$((failures + 1))
fi
echo "failures: $failures"
[ "$failures" = 0 ]
