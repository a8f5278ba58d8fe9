#!/usr/bin/env bash
# Installs what the build, the tests and the demo need, when it is missing (Debian, as root).
set -euo pipefail

packages=(cmake ninja-build python3 clang libclang-rt-14-dev googletest
          g++-mingw-w64-i686-posix mingw-w64-i686-dev g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
          wine wine64 wine32:i386 xvfb imagemagick x11-utils locales xorriso
          fonts-dejavu-core fonts-wqy-microhei chromium cmark-gfm wixl nsis)

# The users' languages of the language files: Wine takes the user's language from the Unix
# locale, so the tests and the demo start programs with LANG set to these.
locales=(en_US ja_JP zh_CN zh_TW zh_HK ko_KR bg_BG cs_CZ da_DK de_DE el_GR es_ES es_MX es_AR
         fi_FI fr_FR hu_HU it_IT nl_NL nb_NO pl_PL pt_BR pt_PT ru_RU hr_HR sr_RS@latin sk_SK
         sv_SE tr_TR sl_SI)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# One question to dpkg for all of them (an architecture-qualified name such as wine32:i386 is
# matched by its qualified name).
installed=$'\n'$(dpkg-query -W -f='${Status}\t${Package}\t${binary:Package}\n' "${packages[@]}" 2>/dev/null |
  awk -F'\t' '$1 == "install ok installed" { print $2; print $3 }')$'\n'
missing=()
for package in "${packages[@]}"; do
  [[ $installed == *$'\n'"$package"$'\n'* ]] || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# locale -a lists "ja_JP.UTF-8" as "ja_JP.utf8".
available=$(locale -a)
for name in "${locales[@]}"; do
  base=${name%@*}
  modifier=${name#"$base"}
  [[ $'\n'$available$'\n' == *$'\n'"$base.utf8$modifier"$'\n'* ]] && continue
  echo "generating locale $base.UTF-8$modifier"
  $sudo localedef -i "$name" -f UTF-8 "$base.UTF-8$modifier"
done
