#!/usr/bin/python3
"""Tarnwell driven with the keyboard alone and followed over the accessibility
bus, as a screen-reader user works: create a set, eject and mount it, start
Replace and cancel, delete. Runs Xvfb, its own D-Bus session and a private
sandbox; exits 77 (skipped) where it cannot run.
  keyboard_only.py TARNWELL SANDBOX_TOOL"""
import os, shutil, subprocess, sys, tempfile, time

tarnwell, sandbox_tool = sys.argv[1:3]
if os.geteuid() != 0 or not os.path.exists("/dev/fuse") or not shutil.which("Xvfb") or not shutil.which("xdotool"):
    print("needs root, /dev/fuse, Xvfb and xdotool"); sys.exit(77)
if subprocess.run(["zpool", "list"], capture_output=True).returncode != 0:
    print("the zfs-fuse daemon is not running"); sys.exit(77)
POOL = os.environ.get("TARNWELL_A11Y_POOL", "tnw_a11y")
FIRST_DISK = os.environ.get("TARNWELL_A11Y_FIRST_DISK", "640")
procs, state = [], tempfile.mkdtemp(prefix="tarnwell-a11y-")
T0 = time.time()
env = dict(os.environ, TARNWELL_SANDBOX_DIR=state + "/sandbox", LC_ALL="C", XDG_RUNTIME_DIR=state,
           QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=state)


def start(args, **kw):
    procs.append(subprocess.Popen(args, env=env, **kw))
    return procs[-1]


def sandbox(*args):
    return subprocess.run([sandbox_tool, *args], env=env, check=True, capture_output=True, text=True).stdout


def wait(what, check, timeout=30):
    end = time.time() + timeout
    while time.time() < end:
        try:
            found = check()
            if found:
                return found
        except Exception:  # an object gone while we looked: look again
            pass
        time.sleep(0.1)
    raise AssertionError("timed out waiting for %s; focused: %s" % (what, focused()))


def focused():
    try:
        return [(n.getRoleName(), n.name) for n in all_of(app, lambda n: has(n, pyatspi.STATE_FOCUSED))]
    except Exception as e:  # before the bus is up
        return repr(e)


def keys(*combos):
    for combo in combos:
        subprocess.run(["xdotool", "key", "--clearmodifiers", combo], env=env, check=True)
        time.sleep(0.15)


try:
    r, w = os.pipe()
    start(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"], pass_fds=[w])
    env["DISPLAY"] = ":" + os.read(r, 16).decode().strip()
    bus = start(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE, text=True)
    env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    os.environ.update(env)
    import pyatspi  # connects to the session bus named above

    desktop = pyatspi.Registry.getDesktop(0)  # the registry is up before Tarnwell registers
    desktop.childCount
    fixture = sandbox("up", "--first-disk", FIRST_DISK, "--size", "128M").strip()
    log = open(state + "/tarnwell.log", "w+")
    start([tarnwell, "--registry", fixture], stdout=log, stderr=log)

    def on_bus():
        desktop.clearCache()
        return next(a for a in desktop if a and a.name.lower() == "tarnwell")
    app = wait("Tarnwell on the bus", on_bus, 60)

    def all_of(root, pred):
        out, todo = [], [root]
        while todo:
            node = todo.pop(0)
            if pred(node):
                out.append(node)
            todo.extend(c for c in node if c is not None)
        return out

    def one(root, role, name=None):
        return all_of(root, lambda n: n.getRole() == role and (name is None or n.name == name))[0]

    def window(role, name):
        return wait(name, lambda: next(x for x in app if x.getRole() == role and x.name == name
                                       and x.getState().contains(pyatspi.STATE_SHOWING)))

    def has(acc, st):
        return acc.getState().contains(st)

    def focus(title):
        subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^%s$" % title,
                        "windowfocus", "--sync"], env=env, check=True, capture_output=True)

    def rows(table):
        t = table.queryTable()
        return [[t.getAccessibleAt(i, j).name for j in range(t.nColumns)] for i in range(t.nRows)]

    def selected(table):
        return list(table.queryTable().getSelectedRows())

    # The main window: its texts are read, its buttons named.
    main = window(pyatspi.ROLE_FRAME, "Tarnwell")
    focus("Tarnwell")
    wait("version line", lambda: all_of(main, lambda n: n.name.startswith("Version : ")))
    assert all_of(main, lambda n: n.name.startswith("©")), "copyright line not readable"
    pools = one(main, pyatspi.ROLE_TABLE, "RAID Sets")
    buttons = {b.name: b for b in all_of(main, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON)}
    assert {"New", "Update", "Delete", "Eject", "Mount", "Replace"} <= set(buttons), buttons

    def press(button, combo):  # every button is off while a refresh runs
        wait(button + " enabled", lambda: has(buttons[button], pyatspi.STATE_ENABLED))
        keys(combo)

    # New: the device window, its enclosure, three disks picked with the keyboard.
    press("New", "alt+n")
    dev = window(pyatspi.ROLE_FRAME, "Create a RAID Set")
    focus("Create a RAID Set")
    encl = one(dev, pyatspi.ROLE_COMBO_BOX, None)
    wait("enclosures", lambda: len(all_of(encl, lambda n: n.getRole() == pyatspi.ROLE_LIST_ITEM)) > 1)
    disks = one(dev, pyatspi.ROLE_TABLE, "Disks")
    wait("pop-up focused", lambda: has(encl, pyatspi.STATE_FOCUSED))
    keys("Down")
    wait("four disks", lambda: len(rows(disks)) == 4)
    keys("Tab", "space", "shift+Down", "shift+Down")
    wait("three disks selected", lambda: selected(disks) == [0, 1, 2])
    keys("Tab")  # leaves the table and keeps the selection
    name_field = one(dev, pyatspi.ROLE_TEXT, "RAID Volumes Name")
    wait("name field focused", lambda: has(name_field, pyatspi.STATE_FOCUSED))
    assert selected(disks) == [0, 1, 2], selected(disks)
    mode = next(n for n in all_of(dev, lambda n: n.getRole() == pyatspi.ROLE_COMBO_BOX) if n != encl)
    labels = [rel.getTarget(0).name for rel in mode.getRelationSet()
              if rel.getRelationType() == pyatspi.RELATION_LABELLED_BY]
    assert labels == ["RAID mode:"], labels
    entries = {e.name: e for e in all_of(mode, lambda n: n.getRole() == pyatspi.ROLE_LIST_ITEM)}
    assert mode.name == "RAID-Z" and set(entries) == {"STRIPED", "RAID-Z", "RAID-Z2"}, (mode.name, entries)
    assert entries["RAID-Z2"].description and not entries["RAID-Z"].description, "RAID-Z2 not told unavailable"

    # The options box ticked through its accessible action frees the options.
    box = one(dev, pyatspi.ROLE_CHECK_BOX, "Use my own options")
    options = one(dev, pyatspi.ROLE_TEXT, "zpool create options")
    act = box.queryAction()
    act.doAction(next(i for i in range(act.nActions) if act.getName(i) == "Toggle"))
    wait("options enabled", lambda: has(options, pyatspi.STATE_ENABLED))
    act.doAction(next(i for i in range(act.nActions) if act.getName(i) == "Toggle"))

    keys("alt+n")  # the name field, by its label's letter
    subprocess.run(["xdotool", "type", POOL], env=env, check=True)
    keys("alt+c")
    wait("device window closed", lambda: not has(dev, pyatspi.STATE_SHOWING), 60)
    focus("Tarnwell")

    def pool_row():
        return next(i for i, r in enumerate(rows(pools)) if r[0] == POOL)

    def select_pool():
        keys("alt+s", "ctrl+Home", "space")
        for _ in range(len(rows(pools))):
            if selected(pools) == [pool_row()]:
                return
            keys("Down")
        raise AssertionError("pool row not reachable with the arrows")

    wait("the new set listed", lambda: rows(pools)[pool_row()][6] == "ONLINE")
    select_pool()
    press("Eject", "alt+e")  # the selection follows the set by name through the refresh
    wait("ejected", lambda: rows(pools)[pool_row()][6] == "EJECTED" and selected(pools) == [pool_row()], 60)
    press("Mount", "alt+m")
    wait("mounted", lambda: rows(pools)[pool_row()][6] == "ONLINE", 60)

    # A disk fails: Replace starts, its first step is cancelled with Escape.
    sandbox("pull", "B")
    press("Update", "alt+u")
    wait("degraded", lambda: rows(pools)[pool_row()][6] == "DEGRADED", 60)
    members = one(main, pyatspi.ROLE_TABLE, "Disks of the Selected RAID Set")
    assert not has(buttons["Replace"], pyatspi.STATE_ENABLED), "Replace on with no disk selected"
    failed = next(i for i, r in enumerate(rows(members)) if {"OFFLINE", "UNAVAIL", "FAULTED", "REMOVED"} & set(r))
    keys("alt+k", "ctrl+Home", "space", *["Down"] * failed)
    wait("the failed disk selected", lambda: selected(members) == [failed])
    press("Replace", "alt+r")
    step1 = window(pyatspi.ROLE_ALERT, "Disk Replacement – Step 1")
    keys("Escape")
    wait("step 1 cancelled", lambda: not has(step1, pyatspi.STATE_SHOWING))

    # Delete: the confirmation's default is Cancel; Shift+Tab reaches Delete.
    def deleted():
        if POOL not in [r[0] for r in rows(pools)]:
            return "deleted"
        return [x for x in app if x.getRole() == pyatspi.ROLE_ALERT and x.name != "Delete a RAID"
                and has(x, pyatspi.STATE_SHOWING)]

    for attempt in range(3):  # zfs-fuse may call a pool just mounted busy; the user tries again
        focus("Tarnwell")
        select_pool()
        press("Delete", "alt+d")
        window(pyatspi.ROLE_ALERT, "Delete a RAID")
        keys("shift+Tab", "space")
        if wait("deleted or told why not", deleted, 60) == "deleted":
            break
        keys("Return")
        time.sleep(2)
    assert POOL not in [r[0] for r in rows(pools)], "not deleted"

    # The disclaimer from the Help menu: a dialog whose text is read.
    focus("Tarnwell")
    keys("alt+h")

    def at_disclaimer():  # the menu wraps round, so Down gets there
        if all_of(app, lambda n: n.name == "Disclaimer" and n.getRole() == pyatspi.ROLE_MENU_ITEM
                  and (has(n, pyatspi.STATE_FOCUSED) or has(n, pyatspi.STATE_SELECTED))):
            return True
        keys("Down")
    wait("Disclaimer in the Help menu", at_disclaimer, 15)
    keys("Return")
    disclaimer = window(pyatspi.ROLE_DIALOG, "Disclaimer")
    assert all_of(disclaimer, lambda n: n.name.startswith("Tarnwell is provided as is")), "text not readable"
    keys("Escape")
    wait("disclaimer closed", lambda: not has(disclaimer, pyatspi.STATE_SHOWING))
    print("keyboard-only story passed in %.0f s" % (time.time() - T0))
except BaseException:
    if "log" in globals():
        log.seek(0)
        print("Tarnwell said:\n" + log.read()[-3000:])
    raise
finally:
    for p in reversed(procs):
        p.kill()
        p.wait()
    subprocess.run(["zpool", "destroy", "-f", POOL], capture_output=True)
    subprocess.run([sandbox_tool, "down"], env=env, capture_output=True)
    shutil.rmtree(state, ignore_errors=True)
