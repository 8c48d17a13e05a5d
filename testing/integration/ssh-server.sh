#!/bin/bash
# The OpenSSH server of the integration tests, on the loopback interface only. The tests start sshd
# themselves (so that they can stop it by its process id); this script prepares and cleans up.
#   ssh-server.sh prepare DIR PORT USER PASSWORD
#       creates USER (login shell bash) with PASSWORD, two host keys (DIR/hostkey, ed25519, and
#       DIR/hostkey_ecdsa) and DIR/sshd_config for 127.0.0.1:PORT,
#       and prints the line "home=<home folder of USER>".
#   ssh-server.sh remove-user USER
#       removes USER and its home folder.
# Exits 2 with the reason on standard output when the server cannot be had here.
set -eu

case "${1:-}" in
prepare)
    dir=$2 port=$3 user=$4 password=$5
    [ "$(id -u)" = 0 ] || { echo "the SSH tests create a test user and need root"; exit 2; }
    [ -x /usr/sbin/sshd ] || { echo "the OpenSSH server is not installed (/usr/sbin/sshd; Debian: openssh-server)"; exit 2; }
    command -v ssh-keygen >/dev/null || { echo "ssh-keygen is not installed"; exit 2; }
    mkdir -p "$dir"
    # The remote commands use echo -e, which needs bash as the login shell (dash prints the -e).
    if id "$user" >/dev/null 2>&1; then
        usermod -s /bin/bash "$user"
    else
        useradd -m -s /bin/bash "$user"
    fi
    echo "$user:$password" | chpasswd
    home=$(getent passwd "$user" | cut -d: -f6)
    touch "$home/.hushlogin" && chown "$user:" "$home/.hushlogin"
    # The privilege-separation folder is compiled into sshd.
    mkdir -p /run/sshd && chmod 0755 /run/sshd
    rm -f "$dir/hostkey" "$dir/hostkey.pub" "$dir/hostkey_ecdsa" "$dir/hostkey_ecdsa.pub"
    # Two host keys: ed25519, and ECDSA, the type that the Windows build's SSH library can check.
    ssh-keygen -q -t ed25519 -N '' -f "$dir/hostkey"
    ssh-keygen -q -t ecdsa -b 256 -N '' -f "$dir/hostkey_ecdsa"
    cat > "$dir/sshd_config" <<CFG
ListenAddress 127.0.0.1
Port $port
HostKey $dir/hostkey
HostKey $dir/hostkey_ecdsa
PidFile $dir/sshd.pid
PasswordAuthentication yes
KbdInteractiveAuthentication no
UsePAM no
PermitRootLogin no
PubkeyAuthentication no
AllowUsers $user
PrintMotd no
PrintLastLog no
LogLevel VERBOSE
CFG
    /usr/sbin/sshd -t -f "$dir/sshd_config"
    echo "home=$home"
    ;;
remove-user)
    user=$2
    if id "$user" >/dev/null 2>&1; then
        # -f: a login of the user that is still closing must not keep the account.
        userdel -r -f "$user" 2>/dev/null || userdel -f "$user"
    fi
    ;;
*)
    echo "usage: $0 prepare DIR PORT USER PASSWORD | remove-user USER"
    exit 1
    ;;
esac
