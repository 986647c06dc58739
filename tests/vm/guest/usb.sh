# USB: printer gadgets on dummy controllers, seen by the kernel's own usblp
# driver as /dev/usb/lp0 and /dev/usb/lp1, later also lp2 and lp3.
. /checks/common.sh

load usb-common usbcore udc-core configfs libcomposite usb_f_printer usblp
MODARGS="num=4" load dummy_hcd
mount -t configfs none /sys/kernel/config
gadgets=/sys/kernel/config/usb_gadget

# gadget NAME VENDOR PRODUCT CONTROLLER SERIAL
gadget() {
  g=$gadgets/$1
  mkdir -p "$g/strings/0x409" "$g/functions/printer.$1" "$g/configs/c.1"
  echo "0x$2" >"$g/idVendor"
  echo "0x$3" >"$g/idProduct"
  echo Velloran >"$g/strings/0x409/manufacturer"
  echo "Printer $1" >"$g/strings/0x409/product"
  echo "$5" >"$g/strings/0x409/serialnumber"
  echo "MFG:Velloran;MDL:$1;CLS:PRINTER;" >"$g/functions/printer.$1/pnp_string"
  ln -s "$g/functions/printer.$1" "$g/configs/c.1/"
  echo "$4" >"$g/UDC"
}
plug() { echo "$2" >"$gadgets/$1/UDC"; }
unplug() { echo >"$gadgets/$1/UDC"; }

# The first gadget made owns /dev/g_printer0 and enumerates first (lp0).
gadget other 1234 5678 dummy_udc.0 VL-0001
wait_for /dev/usb/lp0 20 || bad usb-enumeration "no /dev/usb/lp0"
gadget ours 067b 2305 dummy_udc.1 VL-0002
wait_for /dev/usb/lp1 20 || bad usb-enumeration "no /dev/usb/lp1"
ls -l /dev/usb/ /dev/g_printer*
for lp in lp0 lp1; do
  echo "vm: $lp -> $(readlink -f /sys/class/usbmisc/$lp/device) vendor $(cat /sys/class/usbmisc/$lp/device/../idVendor)"
done

# printer NODE ARGS...: serves the model on a gadget node in the background.
printer() {
  node=$1
  shift
  velloran-vm-gadget-printer "$node" "$@" >"/tmp/printer.$(basename "$node").log" 2>&1 &
}
printer_log() { sed 's/^/    printer | /' "/tmp/printer.$1.log"; }
frames_of() { grep -c '^frame ' "/tmp/printer.$1.log"; }

# 1. A whole upgrade. The printer at enumeration index 0 is of a maker
#    outside the filter; the tool must pass it over and take lp1.
printer /dev/g_printer0
pid_other=$!
printer /dev/g_printer1 --exit-after-finish --image-out /tmp/flash.bin
pid_ours=$!
usleep 300000
cli --lang zh -v upgrade --link usb "$image"
wait "$pid_ours"
kill "$pid_other" 2>/dev/null
wait "$pid_other" 2>/dev/null
printer_log g_printer1
if [ "$status" -eq 0 ] && grep -q '升级完成！！！' "$out" && flash_matches /tmp/flash.bin &&
  [ "$(frames_of g_printer0)" -eq 0 ]; then
  ok usb-upgrade "(${elapsed_ms} ms, processor time $cpu s, ${cpu_share}% of the run; the printer outside the vendor filter at lp0 saw no frame)"
else
  bad usb-upgrade "exit $status, frames at lp0: $(frames_of g_printer0)"
fi

# 2. A printer held open by another program: usblp allows one opener.
held /dev/usb/lp1 upgrade --link usb "$image"
# The advice names the printer, its node and the program that holds it.
if [ "$status" -eq 1 ] && grep -q "USB [0-9a-f]*:[0-9a-f]* [^ ]* (/dev/usb/lp1) cannot be opened: it is held by .*(process $holder)" "$out"; then
  ok usb-held-elsewhere "(refused after ${elapsed_ms} ms)"
else
  bad usb-held-elsewhere "exit $status"
fi

# 3. The printer is unplugged during the packet phase, after three packets.
printer /dev/g_printer1 --unplug-after 3 "$gadgets/ours/UDC"
pid_ours=$!
usleep 300000
cli --lang zh -v upgrade --link usb "$image"
wait "$pid_ours"
printer_log g_printer1
unplugged_at=$(sed -n 's/.*unplugged at \([0-9]*\) ms.*/\1/p' /tmp/printer.g_printer1.log)
end_ms=$((t0 + elapsed_ms))
gave_up=$((end_ms - ${unplugged_at:-0}))
if [ "$status" -eq 1 ] && grep -q '固件故障！终止！' "$out" && ! grep -q '升级完成' "$out" &&
  [ -n "$unplugged_at" ] && [ "$gave_up" -lt 15000 ]; then
  ok usb-unplugged "(the tool ended ${gave_up} ms after the unplug; processor time $cpu s over the run)"
else
  bad usb-unplugged "exit $status, ended ${gave_up} ms after the unplug"
fi
plug ours dummy_udc.1
wait_for /dev/usb/lp1 20 || bad usb-replug "no /dev/usb/lp1 after plugging in again"

# 4. Both printers of supported makers: the lower enumeration index (lp0)
#    is chosen. It takes the frames and never answers.
unplug other
usleep 500000
echo 0x0483 >"$gadgets/other/idVendor"
plug other dummy_udc.0
wait_for /dev/usb/lp0 20 || bad usb-replug "no /dev/usb/lp0 after plugging in again"
usleep 500000
printer /dev/g_printer0 --silent
pid_other=$!
printer /dev/g_printer1
pid_ours=$!
usleep 300000
cli --lang zh -v upgrade --link usb "$image"
kill "$pid_other" "$pid_ours" 2>/dev/null
wait "$pid_other" "$pid_ours" 2>/dev/null
printer_log g_printer0
if [ "$status" -eq 1 ] && grep -q '打印机未响应！终止！' "$out" && [ "$(frames_of g_printer0)" -ge 1 ] &&
  [ "$(frames_of g_printer1)" -eq 0 ] && [ "$elapsed_ms" -lt 20000 ]; then
  ok usb-silent-printer "(lp0 chosen over lp1; gave up after ${elapsed_ms} ms)"
else
  bad usb-silent-printer "exit $status after ${elapsed_ms} ms, frames at lp0 $(frames_of g_printer0), at lp1 $(frames_of g_printer1)"
fi

# 5. The port list on the real nodes: both usblp printers, with the maker
#    the upgrade passes over; of the four ttyS nodes of the 8250 driver only
#    ttyS0 has a UART behind it.
cli ports
if [ "$status" -eq 0 ] && grep -q '^USB *\/dev\/usb\/lp0 *free, a supported maker' "$out" &&
  grep -q '^USB *\/dev\/usb\/lp1 *free, a supported maker' "$out" &&
  grep -q '^COM1 *\/dev\/ttyS0 *free' "$out" && ! grep -q '^COM2 ' "$out"; then
  ok usb-ports "(usblp printers listed; ttyS1-ttyS3 without a UART left out)"
else
  bad usb-ports "exit $status"
fi
# A COM port whose node has no UART behind it is missing, not a port to
# probe at six rates.
cli upgrade --link serial --port COM2 "$image"
if [ "$status" -eq 1 ] && grep -q 'COM2 does not exist (/dev/ttyS1 has no port behind it)' "$out" && [ "$elapsed_ms" -lt 5000 ]; then
  ok serial-port-without-uart "(refused after ${elapsed_ms} ms)"
else
  bad serial-port-without-uart "exit $status after ${elapsed_ms} ms"
fi

# 6. Four printers of supported makers; the two new ones report the same
#    serial number, so their ids are their port paths.
gadget third 067b 2305 dummy_udc.2 VL-DUP
wait_for /dev/usb/lp2 20 || bad usb-enumeration "no /dev/usb/lp2"
gadget fourth 0483 5740 dummy_udc.3 VL-DUP
wait_for /dev/usb/lp3 20 || bad usb-enumeration "no /dev/usb/lp3"
port_path() { basename "$(readlink -f "/sys/class/usbmisc/$1/device/..")"; }
path2=$(port_path lp2)
path3=$(port_path lp3)
echo "vm: port paths lp0 $(port_path lp0), lp1 $(port_path lp1), lp2 $path2, lp3 $path3"
cli ports
if [ "$status" -eq 0 ] && grep -q '^ *id VL-0002, port path ' "$out" && grep -q "^ *id $path2, port path $path2" "$out" &&
  grep -q "^ *id $path3, port path $path3" "$out" && grep -q '^ *IEEE 1284 MFG:Velloran;MDL:ours;' "$out"; then
  ok usb-ports-ids "(serial number VL-0002; port paths $path2 and $path3 for the shared serial number)"
else
  bad usb-ports-ids "exit $status"
fi

# serve N ARGS...: printers on the four gadget nodes, the Nth with ARGS
# (its process: $chosen_pid).
serve() {
  chosen=$1
  shift
  served=""
  for n in 0 1 2 3; do
    if [ "$n" = "$chosen" ]; then
      printer "/dev/g_printer$n" "$@"
      chosen_pid=$!
    else
      printer "/dev/g_printer$n"
    fi
    served="$served $!"
  done
  usleep 300000
}
unserve() {
  # shellcheck disable=SC2086
  kill $served 2>/dev/null
  # shellcheck disable=SC2086
  wait $served 2>/dev/null
}
# Waits up to $2 seconds for the background process $1 to end.
wait_up_to() {
  i=0
  while kill -0 "$1" 2>/dev/null; do
    i=$((i + 1))
    [ "$i" -gt $(($2 * 10)) ] && return 1
    usleep 100000
  done
  wait "$1" 2>/dev/null
}
# frames_besides N: the frames that reached the gadgets other than the Nth.
frames_besides() {
  sum=0
  for n in 0 1 2 3; do [ "$n" = "$1" ] || sum=$((sum + $(frames_of "g_printer$n"))); done
  echo "$sum"
}

# 7. Choice by serial number (a whole upgrade), by port path and by node
#    (silent printers: the frames show where the upgrade went).
serve 1 --exit-after-finish --image-out /tmp/flash.bin
cli --lang zh upgrade --link usb --port VL-0002 "$image"
wait_up_to "$chosen_pid" 10
unserve
if [ "$status" -eq 0 ] && flash_matches /tmp/flash.bin && [ "$(frames_besides 1)" -eq 0 ]; then
  ok usb-choice-serial "(${elapsed_ms} ms; no frame at the other three)"
else
  bad usb-choice-serial "exit $status, frames at the others: $(frames_besides 1)"
fi
for choice in "2 $path2 port-path" "3 /dev/usb/lp3 node"; do
  set -- $choice
  serve "$1" --silent
  cli --lang zh upgrade --link usb --port "$2" "$image"
  unserve
  if [ "$status" -eq 1 ] && grep -q '打印机未响应！终止！' "$out" && [ "$(frames_of "g_printer$1")" -ge 1 ] &&
    [ "$(frames_besides "$1")" -eq 0 ]; then
    ok "usb-choice-$3" "($2: $(frames_of "g_printer$1") frames there, none elsewhere)"
  else
    bad "usb-choice-$3" "exit $status, frames there $(frames_of "g_printer$1"), elsewhere $(frames_besides "$1")"
  fi
done

# 8. A serial number that two printers report is refused, naming both.
serve none
cli --lang en upgrade --link usb --port VL-DUP "$image"
unserve
if [ "$status" -eq 1 ] && grep -q "'VL-DUP' names more than one USB printer: .*$path2.* and .*$path3" "$out" &&
  [ "$(frames_besides none)" -eq 0 ]; then
  ok usb-choice-ambiguous "(refused after ${elapsed_ms} ms)"
else
  bad usb-choice-ambiguous "exit $status, frames $(frames_besides none)"
fi

# 9. The printer the tool takes without --port (the first, lp0) leaves the
#    bus after the boot switch and comes back after 4 s, past the 3 s pause:
#    the version check's open must not take the next printer (lp1) instead.
serve 0 --replug-after-boot 4000 "$gadgets/other/UDC" dummy_udc.0
cli --lang zh upgrade --link usb "$image"
wait_up_to "$chosen_pid" 10
wait_for /dev/usb/lp0 20
unserve
printer_log g_printer0
if [ "$status" -eq 1 ] && grep -q 'Open USB Failed！' "$out" && grep -q '另外还连接了' "$out" &&
  [ "$(frames_of g_printer0)" -eq 1 ] && [ "$(frames_besides 0)" -eq 0 ]; then
  ok usb-reenumeration "(the open after the pause failed; no frame at the other printers)"
else
  bad usb-reenumeration "exit $status, frames at the chosen $(frames_of g_printer0), at lp1 $(frames_of g_printer1), at all others $(frames_besides 0)"
fi

summary
