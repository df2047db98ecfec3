#!/usr/bin/env python3
"""A scripted MPD server for the faults a real mpd cannot produce.

Usage: fakempd.py SCENARIO. Listens on a free loopback port, prints the port on stdout once it
listens, then "accepted" for every connection. Every answer comes from ANSWERS (a small library in
three folders: "Alpha", "Huge", "Zeta"); a scenario in SCENARIOS replaces the greeting (and may hang
up after it), folders of the library, single answers or the pace. An answer is a function of the
command's arguments returning the lines before "OK", or raising Ack; SILENT never answers. Unknown
commands get an empty answer (and are named on stderr), so that a client's routine queries raise
no errors in tests.
"""
import socket
import sys
import threading
import time


class Ack(Exception):
    """An error answer: ACK [code@index] {command} message."""

    def __init__(self, code, message):
        super().__init__(message)
        self.code = code


SILENT = object()


def song(path, artist, title):
    return (f"file: {path}\nLast-Modified: 2020-09-13T12:26:40Z\nTime: 100\nduration: 100.000\n"
            f"Artist: {artist}\nAlbum: {artist} Album\nTitle: {title}\nTrack: 1\nDate: 2001\n")


LIBRARY = {  # folder: its songs' lines
    "Alpha": song("Alpha/a1.flac", "Alpha Artist", "A One") + song("Alpha/a2.flac", "Alpha Artist", "A Two"),
    "Huge": song("Huge/h1.flac", "Huge Artist", "H One"),
    "Zeta": song("Zeta/z1.flac", "Zeta Artist", "Z One"),
}


def folder_argument(args):
    """The folder asked for; empty for the root, which clients name "", "/" or not at all."""
    return args[0].strip("/") if args else ""


def list_all_info(args):
    folder = folder_argument(args)
    if folder:
        if folder not in LIBRARY:
            raise Ack(50, "No such directory")
        return LIBRARY[folder]
    return "".join(f"directory: {f}\nLast-Modified: 2020-09-13T12:26:40Z\n" + LIBRARY[f] for f in sorted(LIBRARY))


def ls_info(args):
    if folder_argument(args):
        return list_all_info(args)
    return "".join(f"directory: {folder}\nLast-Modified: 2020-09-13T12:26:40Z\n" for folder in sorted(LIBRARY))


QUEUE = []  # the songs' lines, in queue order; a scenario may fill it


def queue_song(position):
    return QUEUE[position] + f"Pos: {position}\nId: {position + 1}\n"


def status(args):
    return (f"volume: 100\nrepeat: 0\nrandom: 0\nsingle: 0\nconsume: 0\nplaylist: 2\n"
            f"playlistlength: {len(QUEUE)}\nmixrampdb: 0.000000\nstate: stop\n"
            + ("song: 0\nsongid: 1\n" if QUEUE else ""))


def playlist_info(args):
    """One position, a START:END range or the whole queue."""
    first, _, last = (args[0] if args else f"0:{len(QUEUE)}").partition(":")
    end = min(int(last or len(QUEUE)), len(QUEUE)) if ":" in (args[0] if args else ":") else int(first) + 1
    return "".join(queue_song(position) for position in range(int(first), end))


def fixed(text):
    return lambda args: text


def ack(code, message):
    def answer(args):
        raise Ack(code, message)
    return answer


ANSWERS = {
    "ping": fixed(""),
    "password": fixed(""),
    "status": status,
    "playlistinfo": playlist_info,
    "plchanges": playlist_info,
    "plchangesposid": lambda args: "".join(f"cpos: {p}\nId: {p + 1}\n" for p in range(len(QUEUE))),
    "currentsong": lambda args: queue_song(0) if QUEUE else "",
    "stats": fixed("artists: 3\nalbums: 3\nsongs: 4\nuptime: 10\nplaytime: 0\ndb_playtime: 400\n"
                   "db_update: 1600000000\n"),
    "outputs": fixed("outputid: 0\noutputname: Null\nplugin: null\noutputenabled: 1\n"),
    "replay_gain_status": fixed("replay_gain_mode: off\n"),
    "tagtypes": fixed("tagtype: Artist\ntagtype: Album\ntagtype: Title\ntagtype: Track\ntagtype: Date\n"),
    "urlhandlers": fixed(""),
    "notcommands": fixed(""),
    "listallinfo": list_all_info,
    "lsinfo": ls_info,
    "albumart": ack(50, "No file exists"),
    "readpicture": ack(50, "No file exists"),
}
ANSWERS["commands"] = fixed("".join(f"command: {name}\n" for name in sorted(ANSWERS)))

SCENARIOS = {  # name: what differs from a working server
    "working": {},
    "wrong-greeting": {"greeting": b"HTTP/1.1 400 Bad Request\r\n", "hang_up": True},
    "closes-at-once": {"greeting": b"", "hang_up": True},
    "silent-after-greeting": {"answers": {name: SILENT for name in ANSWERS}, "default": SILENT},
    "huge-tag-listing": {"library": {"Huge": LIBRARY["Huge"] + song("Huge/h2.flac", "Huge Artist",
                                                                   "x" * (1 << 20))}},
    "trickle": {"byte_delay": 0.01},
    # Tags no client library takes whole: a 100,000-character title and a 60,000-character comment
    # (lyrics, liner notes), and a NUL byte inside a title.
    "odd-tags": {"queue": [song("Alpha/a1.flac", "Alpha Artist", "x" * 100000),
                           song("Alpha/a2.flac", "Alpha Artist", "A Two") + "Comment: " + "c" * 60000 + "\n",
                           song("Zeta/z1.flac", "Zeta Artist", "Z\0One")]},
}


def split_arguments(line):
    """The command and its arguments, with MPD's quoting undone."""
    words, word, quoted, escaped, started = [], "", False, False, False
    for c in line:
        if escaped:
            word, escaped = word + c, False
        elif c == "\\" and quoted:
            escaped = True
        elif c == '"':
            quoted, started = not quoted, True
        elif c.isspace() and not quoted:
            if started or word:
                words.append(word)
            word, started = "", False
        else:
            word += c
    if started or word:
        words.append(word)
    return words[0] if words else "", words[1:]


class Session:
    def __init__(self, conn, scenario):
        self.conn, self.scenario = conn, scenario
        self.answers = {**ANSWERS, **scenario.get("answers", {})}

    def send(self, data):
        delay = self.scenario.get("byte_delay")
        if not delay:
            self.conn.sendall(data)
            return
        for i in range(len(data)):
            self.conn.sendall(data[i:i + 1])
            time.sleep(delay)

    def answer(self, command, args):
        handler = self.answers.get(command, self.scenario.get("default"))
        if handler is SILENT:
            return SILENT
        if handler is None:
            print(f"fakempd: no answer for {command}", file=sys.stderr, flush=True)
            return ""
        return handler(args)

    def run_list(self, lines, ok_list):
        reply = ""
        for index, line in enumerate(lines):
            command, args = split_arguments(line)
            try:
                body = self.answer(command, args)
            except Ack as error:
                return reply + f"ACK [{error.code}@{index}] {{{command}}} {error}\n"
            if body is SILENT:
                return SILENT
            reply += body + ("list_OK\n" if ok_list else "")
        return reply + "OK\n"

    def serve(self):
        self.send(self.scenario.get("greeting", b"OK MPD 0.23.0\n"))
        if self.scenario.get("hang_up"):
            return
        pending, command_list, ok_list, idling = b"", None, False, False
        while True:
            data = self.conn.recv(65536)
            if not data:
                return
            pending += data
            while b"\n" in pending:
                raw, pending = pending.split(b"\n", 1)
                line = raw.decode("utf-8", "replace")
                if line in ("command_list_begin", "command_list_ok_begin"):
                    command_list, ok_list = [], line == "command_list_ok_begin"
                    continue
                if command_list is not None and line != "command_list_end":
                    command_list.append(line)
                    continue
                if line == "close":
                    return
                # Nothing ever changes here: an idle waits until noidle ends it (one OK); a noidle
                # without an idle is ignored, as mpd does.
                if line in ("idle", "noidle"):
                    if line == "noidle" and idling:
                        self.send(b"OK\n")
                    idling = line == "idle"
                    continue
                reply = self.run_list(command_list if command_list is not None else [line], ok_list)
                command_list, ok_list = None, False
                if reply is not SILENT:
                    self.send(reply.encode())


def serve_connection(conn, scenario):
    with conn:
        try:
            Session(conn, scenario).serve()
        except OSError:
            pass  # the client went away


def main():
    scenario = SCENARIOS[sys.argv[1]]
    LIBRARY.update(scenario.get("library", {}))
    QUEUE.extend(scenario.get("queue", []))
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print(listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        print("accepted", flush=True)
        threading.Thread(target=serve_connection, args=(conn, scenario), daemon=True).start()


if __name__ == "__main__":
    main()
