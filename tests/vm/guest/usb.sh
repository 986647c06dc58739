# USB: two printer gadgets on two dummy controllers, seen by the kernel's own
# usblp driver as /dev/usb/lp0 and /dev/usb/lp1.
. /checks/common.sh

load usb-common usbcore udc-core configfs libcomposite usb_f_printer usblp
MODARGS="num=2" load dummy_hcd
mount -t configfs none /sys/kernel/config
gadgets=/sys/kernel/config/usb_gadget

# gadget NAME VENDOR PRODUCT CONTROLLER
gadget() {
  g=$gadgets/$1
  mkdir -p "$g/strings/0x409" "$g/functions/printer.$1" "$g/configs/c.1"
  echo "0x$2" >"$g/idVendor"
  echo "0x$3" >"$g/idProduct"
  echo Velloran >"$g/strings/0x409/manufacturer"
  echo "Printer $1" >"$g/strings/0x409/product"
  echo "MFG:Velloran;MDL:$1;CLS:PRINTER;" >"$g/functions/printer.$1/pnp_string"
  ln -s "$g/functions/printer.$1" "$g/configs/c.1/"
  echo "$4" >"$g/UDC"
}
plug() { echo "$2" >"$gadgets/$1/UDC"; }
unplug() { echo >"$gadgets/$1/UDC"; }

# The first gadget made owns /dev/g_printer0 and enumerates first (lp0).
gadget other 1234 5678 dummy_udc.0
wait_for /dev/usb/lp0 20 || bad usb-enumeration "no /dev/usb/lp0"
gadget ours 067b 2305 dummy_udc.1
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
if [ "$status" -eq 1 ] && grep -q "USB [0-9a-f]*:[0-9a-f]* [^ ]* (/dev/usb/lp1) cannot be opened: it is in use by .*(process $holder)" "$out"; then
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

summary
