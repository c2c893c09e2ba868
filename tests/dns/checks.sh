# Questions to a server that has loaded a run; sourced by servers.sh inside
# the server's namespace, with RUN set to C or B and DOMAIN to the run's
# domain (lan.internal. when unset); expect and r come from servers.sh.

answered=$(serials "$zones")
while read -r _ zone _; do
  expect "SOA serial of $zone" "${SERIAL:-1}" "$(awk -v zone="$zone" '$1 == zone { print $2 }' <<<"$answered")"
done < <(grep '^PRIMARY' "$zones/BOOT.INC")

if [[ $RUN == C ]]; then
  detailed=(192.168.0.0 192.168.255.255 "192.168.$(r).$(r)")
  wildcard=(10.0.0.0 "10.$(r).$(r).$(r)" 172.16.0.0 "172.$((16 + RANDOM % 16)).$(r).$(r)" 172.31.255.255)
else
  detailed=(172.16.0.0 172.31.255.255 "172.$((16 + RANDOM % 16)).$(r).$(r)" "172.$((16 + RANDOM % 16)).$(r).$(r)")
  wildcard=(192.168.0.0 "192.168.$(r).$(r)" 10.255.255.255 "10.$(r).$(r).$(r)")
fi
for a in "${detailed[@]}"; do
  name="${a//./-}.${DOMAIN:-lan.internal.}"
  expect "PTR of $a" "$name" "$(ask -x "$a")"
  expect "A of $name" "$a" "$(ask "$name" A)"
done
for a in "${wildcard[@]}"; do
  expect "PTR of $a" "private.ip-address.${DOMAIN:-lan.internal.}" "$(ask -x "$a")"
done
