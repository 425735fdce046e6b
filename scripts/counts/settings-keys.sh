#!/usr/bin/env bash
# Settings keys: calls given a string literal, and stored names spelled in two or more program files.
set -u  # git grep finding nothing is a count of 0, not a failure
cd "$(dirname "$0")/../.." || exit 1
# 1: settings calls given a key as a string literal (program code, not tests)
git grep -nE '\b(objectForKey|stringForKey|boolForKey|integerForKey|doubleForKey|floatForKey|arrayForKey|dictionaryForKey|dataForKey|setBool|setString|setInteger|setDouble|setFloat|setObject|removeObjectForKey|hasStoredValue|clampedInteger|clampedDouble|rangeOf)\((.*, *)?(QStringLiteral\(|QLatin1String\(|QString::fromLatin1\()?"' -- '*.cpp' '*.h' ':!tests' | wc -l
# 2: registry-table keys spelled as a literal ("name") in two or more program files
python3 - <<'PY'
import re,subprocess
src=open('platform/SettingsRegistry.cpp').read()
keys=re.findall(r'^\s*\{"([A-Za-z0-9_.]+)", SettingType',src,re.M) or [m for m in re.findall(r'QStringLiteral\("([^"]+)"\), ',open('platform/SettingsKeys.h').read().split('// --- registered after')[0])]
files=[f for f in subprocess.check_output(['git','ls-files','*.cpp','*.h'],text=True).split() if not f.startswith('tests/')]
texts={f:open(f,errors='replace').read() for f in files}
multi=[k for k in keys if sum('"'+k+'"' in t for t in texts.values())>=2]
print(len(keys),'table keys;',len(multi),'spelled as a literal in two or more program files',multi)
PY
