# Read by ctest before it runs any test: every test gets a defined session
# bus. Tests that talk to one start a dbus-daemon of their own and connect to
# its address; for all others "disabled:" makes every attempt fail at once.
# Without an address, libdbus (under Qt) would try to start a bus with
# dbus-launch whenever DISPLAY is set, and the outcome would depend on the
# machine. The one test that covers that case unsets it again.
set(ENV{DBUS_SESSION_BUS_ADDRESS} "disabled:")
