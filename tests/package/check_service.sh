# shellcheck shell=bash disable=SC2154
# The print service in the Debian package; sourced by tests/package/check_package.sh (ok/bad,
# $deb, $work, $tree, $bin, $examples).
#   - control: its dependencies, the settings file as a conffile, the maintainer scripts;
#   - the systemd unit: systemd-analyze verify, its user and group, the devices it may open,
#     and systemd's exposure rating of its hardening (at most 2.0, "OK");
#   - the maintainer scripts run for real in a private mount namespace over a copy of /etc
#     (root only): the system user in dialout, the token made once and kept, purge;
#   - the installed ecr-service on the installed ecr-sim: the example receipt sold over HTTP,
#     the answer and the paper roll, the same request again answered from the journal without
#     printing; every route of its OpenAPI document in its manual page.

depends=$(dpkg-deb -f "$deb" Depends)
dpkg-deb -e "$deb" "$work/control"
if [[ $depends == *adduser* ]] && [[ $depends == *init-system-helpers* ]] &&
  [ "$(cat "$work/control/conffiles" 2>/dev/null)" = /etc/molvexecr/ecr-service.ini ] &&
  [ -x "$work/control/postinst" ] && [ -x "$work/control/prerm" ] && [ -x "$work/control/postrm" ]; then
  ok "control: Depends on adduser and init-system-helpers, the settings a conffile, postinst, prerm, postrm"
else
  bad "control of the service" <(ls -l "$work/control"; echo "Depends: $depends")
fi

if ldd "$bin/ecr-service" >"$work/ldd-ecr-service.txt" 2>&1 && ! grep -q 'not found' "$work/ldd-ecr-service.txt" &&
  cmp -s "$root_dir/examples/receipt.json" "$examples/receipt.json"; then
  ok "ecr-service: every library found on the system; examples/receipt.json as in the repository"
else
  bad "ecr-service's libraries or its example" "$work/ldd-ecr-service.txt"
fi

# --- the unit -------------------------------------------------------------------------------
unit=$tree/lib/systemd/system/ecr-service.service
sed "s|/usr/bin/ecr-service|$bin/ecr-service|g" "$unit" >"$work/ecr-service.service"
if ! command -v systemd-analyze >/dev/null; then
  echo "skip the unit's checks: no systemd-analyze here"
else
  if systemd-analyze verify --man=no "$work/ecr-service.service" >"$work/verify.txt" 2>&1 &&
    [ ! -s "$work/verify.txt" ]; then
    ok "systemd-analyze verify: the unit as installed has nothing to say"
  else
    bad "systemd-analyze verify" "$work/verify.txt"
  fi
  systemd-analyze security --offline=yes --threshold=20 "$work/ecr-service.service" \
    >"$work/security.txt" 2>&1
  rc=$?
  if [ $rc -eq 0 ] && grep -qE 'Overall exposure level for ecr-service.service: [0-9.]+' "$work/security.txt"; then
    ok "hardening: $(grep -oE 'Overall exposure level.*: [0-9.]+ [A-Z]+' "$work/security.txt")"
  else
    bad "hardening: systemd rates the unit's exposure above 2.0" "$work/security.txt"
  fi
fi
if grep -qx 'User=ecr-service' "$unit" && grep -qx 'SupplementaryGroups=dialout' "$unit" &&
  grep -qx 'DevicePolicy=closed' "$unit" && grep -qx 'DeviceAllow=char-ttyS rw' "$unit" &&
  grep -qx 'DeviceAllow=char-ttyUSB rw' "$unit" && grep -qx 'DeviceAllow=char-ttyACM rw' "$unit" &&
  ! grep -qE '^PrivateDevices=yes|^PrivateUsers=yes' "$unit"; then
  ok "the unit runs as ecr-service in dialout and may open the serial devices, nothing else of /dev"
else
  bad "the unit's user and devices" "$unit"
fi

# --- the maintainer scripts, for real, in a private mount namespace --------------------------
# A copy of /etc, of the unit folder and of systemd's state stands in for the machine's: adduser,
# deb-systemd-helper and the token write there. Needs root (for the namespace).
maint=$work/maint
if [ "$(id -u)" -ne 0 ] || ! unshare --mount --propagation private true 2>/dev/null; then
  echo "skip the maintainer scripts: they need root and a mount namespace here"
else
  mkdir -p "$maint/etc" "$maint/units" "$maint/state"
  cp -a /etc/. "$maint/etc/"
  cp -a /lib/systemd/system/. "$maint/units/"
  cp "$unit" "$maint/units/"
  mkdir -p "$maint/etc/molvexecr"
  cp "$tree/etc/molvexecr/ecr-service.ini" "$maint/etc/molvexecr/"
  scripts=$work/control
  # shellcheck disable=SC2016  # the script's own variables, expanded inside the namespace
  unshare --mount --propagation private bash -c '
    set -u
    mount --bind "$1/etc" /etc && mount --bind "$1/units" /lib/systemd/system &&
      mount --bind "$1/state" /var/lib/systemd || exit 9
    export DPKG_MAINTSCRIPT_PACKAGE=molvexecr DPKG_MAINTSCRIPT_ARCH=amd64  # as dpkg runs them
    m=$1 s=$2
    run() { DPKG_MAINTSCRIPT_NAME=$1 "$s/$1" "${@:2}" >>"$m/scripts.log" 2>&1 || echo "$1 $2 failed"; }
    t=/etc/molvexecr/service.token
    links() { find /etc/systemd/system -name "ecr-service*" | wc -l; }
    run postinst configure ""
    id ecr-service | sed "s/^/id /"
    getent passwd ecr-service | cut -d: -f3,6,7 | sed "s/^/passwd /"
    stat -c "token %a %U %G %s" "$t"
    grep -qxE "[0-9a-f]{64}" "$t" && echo "token-hex"
    [ -L /etc/systemd/system/multi-user.target.wants/ecr-service.service ] && echo "enabled"
    first=$(cat "$t")
    run postinst configure 5.19
    [ "$(cat "$t")" = "$first" ] && echo "token-kept"
    run prerm remove
    run postrm remove
    run postrm purge
    [ ! -e "$t" ] && echo "purged"
    [ "$(links)" = 0 ] && echo "no-links"
    getent passwd ecr-service >/dev/null && echo "user-stays"
  ' maint "$maint" "$scripts" >"$maint/out.txt" 2>&1
  out=$maint/out.txt
  uid=$(sed -n 's/^passwd \([0-9]*\):.*/\1/p' "$out")
  if ! grep -q failed "$out" && grep -qE '^id .*groups=.*\(dialout\)' "$out" &&
    [ -n "$uid" ] && [ "$uid" -lt 1000 ] && grep -qE '^passwd [0-9]+:/var/lib/molvexecr:/usr/sbin/nologin$' "$out" &&
    grep -qx 'token 600 ecr-service ecr-service 64' "$out" && grep -qx token-hex "$out" &&
    grep -qx enabled "$out" && grep -qx token-kept "$out" && grep -qx purged "$out" &&
    grep -qx no-links "$out" && grep -qx user-stays "$out"; then
    ok "maintainer scripts: system user ecr-service (uid $uid) in dialout, token 0600 of ecr-service kept on upgrade, unit enabled; purge takes the token and the unit's links"
  else
    cat "$maint/scripts.log" >>"$out" 2>/dev/null
    bad "maintainer scripts" "$out"
  fi
fi

# --- the installed service on the installed virtual printer ------------------------------------
# A printer of its own (a fresh paper roll), with the articles the example receipt sells.
"$bin/ecr-sim" --link "$work/ttyECR2" --paper "$work/service-paper.txt" --busy-scale 0 \
  --article "1,А,1,12.50,Хлеб" --article "2,Б,1,30.00,Молоко" >"$work/sim2.log" 2>&1 &
service_sim_pid=$!
for _ in $(seq 50); do [ -e "$work/ttyECR2" ] && break; sleep 0.1; done
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
head -c 24 /dev/urandom | od -An -tx1 | tr -d ' \n' >"$work/token"
chmod 600 "$work/token"
cat >"$work/service.ini" <<INI
[service]
listen = 127.0.0.1
port = $port
token_file = $work/token
journal = $work/journal.sqlite

[printer:till]
device = $work/ttyECR2
INI
"$bin/ecr-service" --settings "$work/service.ini" >"$work/service.log" 2>&1 &
service_pid=$!
for _ in $(seq 50); do grep -q 'listening on' "$work/service.log" && break; sleep 0.1; done
url=http://127.0.0.1:$port
post() {  # post NAME KEY: the example receipt; the answer in $work/NAME.json, headers NAME.head
  curl -s --max-time 60 -D "$work/$1.head" -o "$work/$1.json" -w '%{http_code}' \
    -H 'Content-Type: application/json' -H "Idempotency-Key: $2" \
    --data-binary @"$examples/receipt.json" "$url/v1/printers/till/receipts"
}
status=$(post sale package-test-1)
if [ "$status" = 200 ] && python3 - "$work/sale.json" <<'PY'; then
import json, sys
r = json.load(open(sys.argv[1]))
sys.exit(0 if (r["kind"], r["total"], r["paid"], r["change"]) == ("sale", "150.00", "150.00", "0.00")
         and isinstance(r["receipt"], int) else 1)
PY
  ok "the installed ecr-service sold the installed examples/receipt.json: $(tr -d '\n' <"$work/sale.json")"
else
  bad "the installed ecr-service and examples/receipt.json (HTTP $status)" \
    <(cat "$work/sale.json" "$work/service.log" 2>/dev/null)
fi
if grep -qx 'TOTAL                     150.00' "$work/service-paper.txt" &&
  grep -qx 'CARD                      100.00' "$work/service-paper.txt" &&
  grep -qx 'CASH                       50.00' "$work/service-paper.txt" &&
  grep -qx 'Спасибо за покупку!' "$work/service-paper.txt" &&
  [ "$(grep -cx '      FISCAL RECEIPT' "$work/service-paper.txt")" = 1 ]; then
  ok "the paper roll: the receipt of examples/receipt.json (TOTAL 150.00, card and cash) and its lines after"
else
  bad "the paper roll after the service's sale" "$work/service-paper.txt"
fi
status=$(post again package-test-1)
if [ "$status" = 200 ] && grep -qi '^Idempotent-Replayed: true' "$work/again.head" &&
  cmp -s "$work/sale.json" "$work/again.json" &&
  [ "$(grep -cx '      FISCAL RECEIPT' "$work/service-paper.txt")" = 1 ]; then
  ok "the same request again: the same answer from the journal, Idempotent-Replayed, nothing printed"
else
  bad "the same request again (HTTP $status)" <(cat "$work/again.head" "$work/again.json")
fi
# Every route of the service's own OpenAPI document is in its manual page.
curl -s --max-time 10 "$url/v1/openapi.json" >"$work/openapi.json"
MANPATH=$tree/usr/share/man LANG=C.UTF-8 MANWIDTH=200 man -P cat ecr-service >"$work/man-routes.txt" 2>/dev/null
missing=$(python3 - "$work/openapi.json" "$work/man-routes.txt" <<'PY'
import json, re, sys
try:
    paths = json.load(open(sys.argv[1]))["paths"]
except (ValueError, KeyError) as e:
    print(f"(no paths in /v1/openapi.json: {e!r})")
    sys.exit()
text = re.sub(r"\s+", " ", open(sys.argv[2]).read())
for path, methods in paths.items():
    for method in methods:
        if method.upper() not in ("GET", "POST", "PUT", "DELETE", "PATCH"):
            continue
        shown = re.sub(r"\{(id|key)\}", r"\1", path)
        if f"{method.upper()} {shown}" not in text:
            print(f"{method.upper()} {path}")
PY
)
if [ -s "$work/openapi.json" ] && [ -z "$missing" ]; then
  ok "man ecr-service names every route of /v1/openapi.json"
else
  bad "routes of /v1/openapi.json missing from man ecr-service: ${missing:-the document could not be read}" \
    "$work/openapi.json"
fi
kill "$service_pid" "$service_sim_pid" 2>/dev/null
wait "$service_pid" "$service_sim_pid" 2>/dev/null
service_pid=
service_sim_pid=
