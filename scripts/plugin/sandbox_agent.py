"""The starter inside a PC's sandbox (sandbox.py): it runs as the sandbox's first program and starts
every program of the PC on the run's request, so that all of them (Wine's server, the PC's own
programs, the robot, the tools) share one set of namespaces: one private /tmp, where Wine's server
socket lives, one process space, one view of the files.

It speaks over the socket whose descriptor is its only argument: JSON messages, one per packet;
the run sends {"op": "start", "id", "argv", "env", "cwd"} with three descriptors (standard input,
output and error) or {"op": "signal", "id", "signal"}; the starter answers {"op": "ready"} once,
then {"op": "started", "id", "pid"} or {"op": "failed", "id", "error"}, and {"op": "exit", "id",
"code"} when a program ends (a negative code: the signal that ended it). When the run closes its
end, the starter kills what it started and ends, and the sandbox with it.

Standard library only: it runs under the host's Python inside the sandbox, without site packages."""
import json
import os
import signal
import socket
import subprocess
import sys
import threading


def serve(channel):
    lock = threading.Lock()
    children = {}

    def send(message):
        with lock:
            try:
                channel.send(json.dumps(message).encode('utf-8'))
            except OSError:
                pass

    def watch(ident, child):
        send({'op': 'exit', 'id': ident, 'code': child.wait()})

    send({'op': 'ready'})
    while True:
        try:
            data, fds, _, _ = socket.recv_fds(channel, 1 << 20, 3)
        except OSError:
            break
        if not data:
            break
        message = json.loads(data.decode('utf-8'))
        if message['op'] == 'start':
            try:
                child = subprocess.Popen(message['argv'], env=message['env'], cwd=message.get('cwd') or '/',
                                         stdin=fds[0], stdout=fds[1], stderr=fds[2], start_new_session=True)
            except (OSError, ValueError, IndexError) as e:
                send({'op': 'failed', 'id': message['id'], 'error': str(e)})
                continue
            finally:
                for fd in fds:
                    os.close(fd)
            children[message['id']] = child
            send({'op': 'started', 'id': message['id'], 'pid': child.pid})
            threading.Thread(target=watch, args=(message['id'], child), daemon=True).start()
        elif message['op'] == 'signal' and message['id'] in children:
            try:
                os.killpg(children[message['id']].pid, message['signal'])
            except OSError:
                pass
    for child in children.values():
        try:
            os.killpg(child.pid, signal.SIGKILL)
        except OSError:
            pass


if __name__ == '__main__':
    serve(socket.socket(fileno=int(sys.argv[1])))
