# Several printers at once on the kernel's drivers: four printer gadgets on
# four dummy USB controllers (usblp: /dev/usb/lp0-lp3) and the three 16550
# UARTs of the serial group, upgraded at the same time by two commands, one
# per link (--all and three --port values). One gadget is unplugged during
# its packets and one never answers; the other two and the three serial
# printers complete with their flash compared (the serial ones on the host).
. /checks/common.sh

load usb-common usbcore udc-core configfs libcomposite usb_f_printer usblp
MODARGS="num=4" load dummy_hcd
mount -t configfs none /sys/kernel/config
gadgets=/sys/kernel/config/usb_gadget
velloran-vm-uart irq /dev/ttyS2 5
velloran-vm-uart irq /dev/ttyS3 7

# gadget N: printer FLEETn of a supported maker on dummy_udc.(n-1); the
# n-th gadget made owns /dev/g_printer(n-1).
gadget() {
  g=$gadgets/p$1
  mkdir -p "$g/strings/0x409" "$g/functions/printer.p$1" "$g/configs/c.1"
  echo 0x067b >"$g/idVendor"
  echo 0x2305 >"$g/idProduct"
  echo Velloran >"$g/strings/0x409/manufacturer"
  echo "Printer $1" >"$g/strings/0x409/product"
  echo "FLEET$1" >"$g/strings/0x409/serialnumber"
  echo "MFG:Velloran;MDL:p$1;CLS:PRINTER;" >"$g/functions/printer.p$1/pnp_string"
  ln -s "$g/functions/printer.p$1" "$g/configs/c.1/"
  echo "dummy_udc.$(($1 - 1))" >"$g/UDC"
}
for n in 1 2 3 4; do
  gadget $n
  wait_for /dev/usb/lp$((n - 1)) 20 || bad fleet-enumeration "no /dev/usb/lp$((n - 1))"
done

velloran-vm-gadget-printer /dev/g_printer0 --exit-after-finish --image-out /tmp/flash1.bin >/tmp/p1.log 2>&1 &
p1=$!
velloran-vm-gadget-printer /dev/g_printer1 --unplug-after 3 "$gadgets/p2/UDC" >/tmp/p2.log 2>&1 &
p2=$!
velloran-vm-gadget-printer /dev/g_printer2 --silent >/tmp/p3.log 2>&1 &
p3=$!
velloran-vm-gadget-printer /dev/g_printer3 --exit-after-finish --image-out /tmp/flash4.bin >/tmp/p4.log 2>&1 &
p4=$!
usleep 300000

t0=$(now_ms)
velloran-cli --lang en upgrade --link usb --all --json "$image" >/tmp/usb.json 2>/tmp/usb.err &
usb_pid=$!
velloran-cli --lang en upgrade --link serial --port COM2 --port COM3 --port COM4 "$image" >/tmp/serial.out 2>&1
serial_status=$?
serial_ms=$(($(now_ms) - t0))
wait "$usb_pid"
usb_status=$?
usb_ms=$(($(now_ms) - t0))
kill "$p2" "$p3" 2>/dev/null
wait "$p1" "$p2" "$p3" "$p4" 2>/dev/null
tail -n 1 /tmp/usb.json | sed 's/^/    usb | /'
sed 's/^/    usb err | /' /tmp/usb.err
sed 's/^/    serial | /' /tmp/serial.out

fleet=$(tail -n 1 /tmp/usb.json)
entry() { echo "$fleet" | grep -q "{\"target\":\"FLEET$1\",[^}]*\"result\":\"$2\""; }
if [ "$usb_status" -eq 1 ] && echo "$fleet" | grep -q '^{"event":"fleet_result","phase":"finish","id":"fleet_failed"' &&
  entry 1 completed && entry 2 failed && entry 3 failed && entry 4 completed &&
  flash_matches /tmp/flash1.bin && flash_matches /tmp/flash4.bin; then
  ok fleet-usb "(four gadgets, ended ${usb_ms} ms after the start of both commands: FLEET1 and FLEET4 completed with their flash compared, FLEET2 unplugged and FLEET3 silent failed alone)"
else
  bad fleet-usb "exit $usb_status after ${usb_ms} ms"
fi
if [ "$serial_status" -eq 0 ] && tail -n 1 /tmp/serial.out | grep -q '^All 3 printers upgraded in ' &&
  grep -q '^COM2 *completed ' /tmp/serial.out && grep -q '^COM3 *completed ' /tmp/serial.out &&
  grep -q '^COM4 *completed ' /tmp/serial.out && ! grep -q 'To upgrade only' /tmp/serial.out; then
  ok fleet-serial "(three UARTs at once in ${serial_ms} ms, beside the USB ones)"
else
  bad fleet-serial "exit $serial_status after ${serial_ms} ms"
fi
summary
