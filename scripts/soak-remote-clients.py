#!/usr/bin/env python3
# The clients of soak.sh's remote stage, against a running program with its remote interface on
# PORT: valid clients with the token send a mix of requests while others hold half request heads
# (from the valid clients' own address and from another), send garbage, and open and drop event
# streams. Studio A is scanned first. After a first round of the same load, the program's
# descriptors and resident memory are read, the load runs for SECONDS, and they are read again.
# A line every ten seconds on standard error; on standard output one line of figures: valid
# requests answered, refused, p50 and p99 in ms, hostile connections, descriptors at the start and
# the end, resident KiB at the start and the end.
#
# usage: soak-remote-clients.py PORT PID SECONDS TOKEN_FILE
import json, os, random, select, socket, statistics, sys, threading, time

port, pid, seconds = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3])
token = open(sys.argv[4]).read().strip()
auth = f"Authorization: Bearer {token}\r\n"
stop = threading.Event()
lock = threading.Lock()
times, refused, hostile, why = [], [0], [0], {}

def fds():
    return len(os.listdir(f"/proc/{pid}/fd"))

def rss():
    for l in open(f"/proc/{pid}/status"):
        if l.startswith("VmRSS:"):
            return int(l.split()[1])

def call(method, path, body=b"", timeout=5.0):
    head = f"{method} /api/v1/{path} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n{auth}"
    if body:
        head += f"Content-Type: application/json\r\nContent-Length: {len(body)}\r\n"
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as c:
        c.sendall(head.encode() + b"\r\n" + body)
        data = b""
        while True:
            chunk = c.recv(65536)
            if not chunk:
                break
            data += chunk
    if not data.startswith(b"HTTP/1.1 "):
        return 0, b""
    return int(data[9:12]), data.partition(b"\r\n\r\n")[2]

def request(method, path, body=b""):
    return call(method, path, body)[0]

def scanning():
    status, body = call("GET", "status")
    return status == 200 and json.loads(body)["scanning"]

def valid():
    mix = [("GET", "status", b""), ("GET", "studios/A/units", b""), ("GET", "setups", b""),
           ("GET", "studios/A/units/1", b""), ("PATCH", "studios/A/units/1", b'{"flash": 5.0}'),
           ("PATCH", "studios/A/units/1", b'{"flash": 5.5}')]
    while not stop.is_set():
        method, path, body = random.choice(mix)
        start = time.monotonic()
        try:
            status = request(method, path, body)
        except OSError:
            status = 0
        with lock:
            if 200 <= status < 300:
                times.append((time.monotonic() - start) * 1000)
            else:
                refused[0] += 1
                why[status] = why.get(status, 0) + 1
        time.sleep(0.01)

def holder(source, count):
    held = []
    while not stop.is_set():
        while len(held) < count:
            try:
                c = socket.socket()
                c.bind((source, 0))
                c.connect(("127.0.0.1", port))
                c.sendall(b"GET /api/v1/status HTTP/1.1\r\nHost: 12")
                held.append(c)
                with lock:
                    hostile[0] += 1
            except OSError:
                break
        readable, _, _ = select.select(held, [], [], 0.2)
        for c in readable:
            held.remove(c)
            c.close()
    for c in held:
        c.close()

def garbage():
    junk = [lambda: os.urandom(random.randint(1, 3000)),
            lambda: b"GET /api/v1/status HTTP/1.1\r\nX: " + b"x" * 20000 + b"\r\n\r\n",
            lambda: b"PUT /api/v1/setups/a HTTP/1.1\r\nContent-Length: 99999999\r\n\r\n",
            lambda: b"GET /api/v1/status HTTP/1.1\r\nAuthorization: Bearer nope\r\n\r\n",
            lambda: b"GET /api/v1/events HTTP/1.1\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n\r\n"]
    while not stop.is_set():
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=3) as c:
                c.sendall(random.choice(junk)())
                c.recv(4096)
        except OSError:
            pass
        with lock:
            hostile[0] += 1
        time.sleep(0.02)

def streams():
    while not stop.is_set():
        try:
            c = socket.create_connection(("127.0.0.1", port), timeout=3)
            c.sendall(f"GET /api/v1/events HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n{auth}\r\n".encode())
            c.recv(4096)
            time.sleep(random.random())
            c.close()
        except OSError:
            pass
        with lock:
            hostile[0] += 1

def connected():
    status, body = call("GET", "status")
    return status == 200 and json.loads(body)["connected"]

# Studio A scanned first, once the port is open, so that the units' changes reach the dongle.
end = time.monotonic() + 10
while not connected() and time.monotonic() < end:
    time.sleep(0.2)
request("POST", "studios/A/scan")
for wanted, limit in ((True, 5), (False, 30)):
    end = time.monotonic() + limit
    while scanning() != wanted and time.monotonic() < end:
        time.sleep(0.2)
def load(duration):
    stop.clear()
    workers = [threading.Thread(target=valid) for _ in range(4)]
    workers += [threading.Thread(target=holder, args=("127.0.0.1", 12)),
                threading.Thread(target=holder, args=("127.0.0.2", 30)),
                threading.Thread(target=garbage), threading.Thread(target=streams)]
    for w in workers:
        w.start()
    end = time.monotonic() + duration
    while time.monotonic() < end:
        time.sleep(min(10.0, max(0.0, end - time.monotonic())))
        print(f"-- {len(times)} answered, {refused[0]} refused {why or ''}, resident {rss()} KiB, descriptors {fds()}",
              file=sys.stderr, flush=True)
    stop.set()
    for w in workers:
        w.join()
    time.sleep(4)  # unfinished requests time out, refused ones linger a second

# The start's figures are taken after a first round of the same load, once the heap and Qt's
# caches have grown to what this load needs: what grows after that is what a long run loses.
load(max(5.0, min(60.0, seconds / 10)))
times.clear()
refused[0] = hostile[0] = 0
why.clear()
fds_start, rss_start = fds(), rss()
load(seconds)
times.sort()
p = lambda q: times[min(len(times) - 1, int(q * len(times)))] if times else float("nan")
print(len(times), refused[0], f"{p(0.5):.1f}", f"{p(0.99):.1f}", hostile[0], fds_start, fds(),
      rss_start, rss())
