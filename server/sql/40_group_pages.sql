-- What the clan-association pages ask of the database. Only the page service's own account calls these.
-- The command pages answer 0 when done and 1 when not (the program reads only 0 as done); the acting
-- officer is the account the program sends as "myaccid".

-- The position titles the server counts: the founder takes the count, raising stops one below it and
-- expelling needs at least half of it (rounded down).
CREATE OR REPLACE FUNCTION zp_position_count() RETURNS integer
LANGUAGE sql STABLE SET search_path = public, pg_temp AS $$
    SELECT count(*)::integer FROM positions
$$;

-- The account's position in the association; NULL unless it is a member there (a request still waiting
-- does not count).
CREATE OR REPLACE FUNCTION zp_position_in(accid integer, gid integer) RETURNS integer
LANGUAGE sql STABLE SET search_path = public, pg_temp AS $$
    SELECT position_id FROM accounts WHERE acc_id = accid AND group_id = gid AND gid > 0 AND group_state = 0
$$;

-- Asks to join: the account becomes an applicant of the association (a request waiting elsewhere moves
-- here). A member of an association must leave it first.
CREATE OR REPLACE FUNCTION page_group_request(accid integer, gid integer) RETURNS integer
LANGUAGE sql SET search_path = public, pg_temp AS $$
    WITH changed AS (
        UPDATE accounts SET group_id = gid, group_state = 1, position_id = 0
         WHERE acc_id = accid AND (group_id = 0 OR group_state = 1)
           AND EXISTS (SELECT 1 FROM clan_groups WHERE group_id = gid)
        RETURNING 1)
    SELECT CASE WHEN count(*) > 0 THEN 0 ELSE 1 END FROM changed
$$;

-- Founds an association: "id@~founder's nickname", or "0@~" when the account already belongs to one,
-- or the name is empty, longer than 50 characters or taken. The founder takes the position sent, never one above the titles the
-- server has.
CREATE OR REPLACE FUNCTION page_group_found(gname text, accid integer, pid integer) RETURNS text
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    founded record := zp_create_group(accid, pid, gname);
BEGIN
    IF coalesce(founded.new_group, 0) < 1 THEN
        RETURN '0@~';
    END IF;
    RETURN founded.new_group || '@~' || coalesce((SELECT nickname FROM accounts WHERE acc_id = accid), '');
END $$;

-- "name@~founder@~members@~reputation" of an association; NULL for an unknown one.
CREATE OR REPLACE FUNCTION page_group_detail(gid integer) RETURNS text
LANGUAGE sql STABLE SET search_path = public, pg_temp AS $$
    SELECT g.group_name || '@~' || coalesce(c.nickname, '') || '@~' ||
           (SELECT count(*) FROM accounts a WHERE a.group_id = g.group_id AND a.group_state = 0) || '@~' ||
           g.group_sw
      FROM clan_groups g LEFT JOIN accounts c ON c.acc_id = g.creator_id
     WHERE g.group_id = gid
$$;

-- A member of the applicant's association lets the applicant in at position 1, with 100 more reputation.
CREATE OR REPLACE FUNCTION page_group_approve(officer integer, accid integer) RETURNS integer
LANGUAGE sql SET search_path = public, pg_temp AS $$
    WITH changed AS (
        UPDATE accounts a SET group_state = 0, position_id = 1, user_sw = a.user_sw + 100
         WHERE a.acc_id = accid AND a.group_state = 1 AND zp_position_in(officer, a.group_id) IS NOT NULL
        RETURNING 1)
    SELECT CASE WHEN count(*) > 0 THEN 0 ELSE 1 END FROM changed
$$;

-- A member of the applicant's association turns the request down: the applicant belongs nowhere again.
CREATE OR REPLACE FUNCTION page_group_refuse(officer integer, accid integer) RETURNS integer
LANGUAGE sql SET search_path = public, pg_temp AS $$
    WITH changed AS (
        UPDATE accounts a SET group_id = 0, group_state = 0, position_id = 0
         WHERE a.acc_id = accid AND a.group_state = 1 AND zp_position_in(officer, a.group_id) IS NOT NULL
        RETURNING 1)
    SELECT CASE WHEN count(*) > 0 THEN 0 ELSE 1 END FROM changed
$$;

-- An officer raises a member of a lower position by one, never above the top sent nor above the count
-- of titles less one.
CREATE OR REPLACE FUNCTION page_group_raise(officer integer, accid integer, top integer) RETURNS integer
LANGUAGE sql SET search_path = public, pg_temp AS $$
    WITH changed AS (
        UPDATE accounts a SET position_id = a.position_id + 1
         WHERE a.acc_id = accid AND a.acc_id <> officer AND a.group_state = 0
           AND a.position_id + 1 <= least(top, zp_position_count() - 1)
           AND a.position_id < zp_position_in(officer, a.group_id)
        RETURNING 1)
    SELECT CASE WHEN count(*) > 0 THEN 0 ELSE 1 END FROM changed
$$;

-- An officer of at least half the top position expels a member of a lower position. The answer is the
-- account that now keeps the expelled account's uploaded members, 0 when nobody was expelled: the
-- officer, when the account had opened its members to the association (they stay in the association's
-- tree) with the page texts and pictures it wrote on them, else the account itself.
CREATE OR REPLACE FUNCTION page_group_expel(officer integer, accid integer, gid integer) RETURNS integer
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    rank integer;
    level integer;
BEGIN
    SELECT position_id INTO rank FROM accounts
     WHERE acc_id = officer AND group_id = gid AND gid > 0 AND group_state = 0 FOR UPDATE;
    IF rank IS NULL OR rank < zp_position_count() / 2 OR officer = accid THEN
        RETURN 0;
    END IF;
    UPDATE accounts SET group_id = 0, group_state = 0, position_id = 0, lastgroup_id = gid
     WHERE acc_id = accid AND group_id = gid AND group_state = 0 AND position_id < rank
    RETURNING open_level INTO level;
    IF NOT FOUND THEN
        RETURN 0;
    END IF;
    IF level = 2 THEN
        -- The members pass to the officer with what the expelled account wrote on them.
        WITH moved AS (UPDATE members SET myacc_id = officer WHERE myacc_id = accid RETURNING filial_id),
             pages AS (UPDATE member_stories SET writer_id = officer
                        WHERE writer_id = accid AND filial_id IN (SELECT filial_id FROM moved))
        UPDATE member_images SET writer_id = officer
         WHERE writer_id = accid AND filial_id IN (SELECT filial_id FROM moved);
        RETURN officer;
    END IF;
    RETURN accid;
END $$;

-- A member leaves: it belongs nowhere, and the association becomes its last one.
CREATE OR REPLACE FUNCTION page_group_leave(accid integer, gid integer) RETURNS integer
LANGUAGE sql SET search_path = public, pg_temp AS $$
    WITH changed AS (
        UPDATE accounts SET group_id = 0, group_state = 0, position_id = 0, lastgroup_id = gid
         WHERE acc_id = accid AND group_id = gid AND gid > 0 AND group_state = 0
        RETURNING 1)
    SELECT CASE WHEN count(*) > 0 THEN 0 ELSE 1 END FROM changed
$$;
